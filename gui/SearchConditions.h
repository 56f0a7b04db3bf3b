// The search conditions beyond the search box (更多搜索条件...): keyword, commission-rate range,
// price range and order, edited in a small dialog and remembered across runs in the user's
// configuration folder. Window thread only.
#pragma once

#include <QDialog>

#include "api/TaobaokeItem.h"
#include "app/SearchFilters.h"

class QComboBox;
class QLineEdit;

namespace vendrix {

// The conditions remembered from the last run; none when nothing (or nothing valid) was.
SearchFilters LoadSearchConditions();
void SaveSearchConditions(const SearchFilters& filters);
// One line for the user, "关键词：包邮；佣金比率：5-12.5%；价格：10元以上"; "" when none is set.
QString DescribeSearchConditions(const SearchFilters& filters);
// What is wrong when a commission bound of `filters` crosses the other side of those the
// configuration set in `configured` ("佣金比率下限 30% 高于配置规定的上限 20%。"); "" when none does.
QString CrossedBoundText(const SearchFilters& filters, const TaobaokeItemConditions& configured);

class TSearchConditionsDialog : public QDialog {
 public:
  // `configured`: the affiliate item search's conditions as the vendor's configuration set
  // them, whose commission bounds the user's may not cross.
  TSearchConditionsDialog(const SearchFilters& filters, const TaobaokeItemConditions& configured,
                          QWidget* parent);

  // The conditions as accepted.
  const SearchFilters& Filters() const { return filters_; }

  // Checks the fields; on success takes them and closes, otherwise says what is wrong with
  // each field that is, and leaves the dialog open at the first of them.
  void accept() override;

  QLineEdit* Keyword = nullptr;
  QLineEdit* CommissionRate = nullptr;
  QLineEdit* Price = nullptr;
  QComboBox* Sort = nullptr;

 private:
  SearchFilters filters_;
  TaobaokeItemConditions configured_;
};

}  // namespace vendrix
