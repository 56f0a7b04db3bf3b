#include "gui/SearchConditions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

#include "platform/CodePage.h"

namespace vendrix {
namespace {

// What each of the platform's orders means to a user.
const char* const kSortLabels[][2] = {
    {"price_desc", "价格从高到低"},
    {"price_asc", "价格从低到高"},
    {"credit_desc", "信用从高到低"},
    {"commissionRate_desc", "佣金比率从高到低"},
    {"commissionRate_asc", "佣金比率从低到高"},
    {"commissionNum_desc", "推广量从高到低"},
    {"commissionNum_asc", "推广量从低到高"},
    {"commissionVolume_desc", "总支出佣金从高到低"},
    {"commissionVolume_asc", "总支出佣金从低到高"},
    {"delistTime_desc", "下架时间从晚到早"},
    {"delistTime_asc", "下架时间从早到晚"},
};

QSettings Store() { return QSettings(QStringLiteral("Vendrix"), QStringLiteral("Vendrix")); }

QString FromGbk(const std::string& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }

}  // namespace

SearchFilters LoadSearchConditions() {
  QSettings settings = Store();
  SearchFilters filters;
  std::optional<std::string> keyword =
      Utf8ToGbkExact(settings.value("conditions/keyword").toString().toStdString());
  if (keyword) filters.keyword = *keyword;
  // A remembered value that no longer reads (edited by hand, say) is dropped, not sent.
  std::string low, high;
  if (ParseCommissionRange(settings.value("conditions/commission_rate").toString().toStdString(),
                           low, high)) {
    filters.commission_low = low;
    filters.commission_high = high;
  }
  if (ParsePriceRange(settings.value("conditions/price").toString().toStdString(), low, high)) {
    filters.price_low = low;
    filters.price_high = high;
  }
  std::string sort = settings.value("conditions/sort").toString().toStdString();
  if (IsSortOrder(sort)) filters.sort = sort;
  return filters;
}

void SaveSearchConditions(const SearchFilters& filters) {
  QSettings settings = Store();
  settings.setValue("conditions/keyword", FromGbk(filters.keyword));
  settings.setValue(
      "conditions/commission_rate",
      QString::fromStdString(CommissionRangeText(filters.commission_low, filters.commission_high)));
  settings.setValue("conditions/price",
                    QString::fromStdString(PriceRangeText(filters.price_low, filters.price_high)));
  settings.setValue("conditions/sort", QString::fromStdString(filters.sort));
  settings.sync();
}

QString DescribeSearchConditions(const SearchFilters& filters) {
  // A range open on one side reads as a user says it: "5%以上", "99.5元以下".
  auto range = [](const std::string& low, const std::string& high, const char* unit) {
    QString u = QString::fromUtf8(unit);
    QString l = QString::fromStdString(low), h = QString::fromStdString(high);
    if (high.empty()) return l + u + QString::fromUtf8("以上");
    if (low.empty()) return h + u + QString::fromUtf8("以下");
    return l + "-" + h + u;
  };
  QStringList parts;
  if (!filters.keyword.empty()) parts << QString::fromUtf8("关键词：") + FromGbk(filters.keyword);
  if (!filters.commission_low.empty() || !filters.commission_high.empty()) {
    parts << QString::fromUtf8("佣金比率：") + range(CommissionText(filters.commission_low),
                                                     CommissionText(filters.commission_high), "%");
  }
  if (!filters.price_low.empty() || !filters.price_high.empty()) {
    parts << QString::fromUtf8("价格：") + range(filters.price_low, filters.price_high, "元");
  }
  for (const auto& [name, label] : kSortLabels) {
    if (filters.sort == name) parts << QString::fromUtf8("排序：") + QString::fromUtf8(label);
  }
  return parts.join(QString::fromUtf8("；"));
}

QString CrossedBoundText(const SearchFilters& filters, const TaobaokeItemConditions& configured) {
  std::optional<CrossedBound> crossed = CrossedCommissionBound(
      filters, configured.start_commissionRate, configured.end_commissionRate);
  if (!crossed) return QString();
  // The configured other side still applies: the search could only find nothing.
  QString mine = QString::fromStdString(
      CommissionText(crossed->configured_upper ? filters.commission_low : filters.commission_high));
  QString theirs = QString::fromStdString(CommissionText(crossed->configured));
  return QString::fromUtf8(crossed->configured_upper ? "佣金比率下限 %1% 高于配置规定的上限 %2%。"
                                                     : "佣金比率上限 %1% 低于配置规定的下限 %2%。")
      .arg(mine, theirs);
}

TSearchConditionsDialog::TSearchConditionsDialog(const SearchFilters& filters,
                                                 const TaobaokeItemConditions& configured,
                                                 QWidget* parent)
    : QDialog(parent),
      filters_(filters),
      configured_(configured) {
  setWindowTitle(QString::fromUtf8("更多搜索条件"));
  auto* form = new QFormLayout(this);
  Keyword = new QLineEdit(FromGbk(filters.keyword), this);
  CommissionRate = new QLineEdit(
      QString::fromStdString(CommissionRangeText(filters.commission_low, filters.commission_high)),
      this);
  CommissionRate->setPlaceholderText(QString::fromUtf8("如 5-12.5，可只填一边"));
  Price = new QLineEdit(
      QString::fromStdString(PriceRangeText(filters.price_low, filters.price_high)), this);
  Price->setPlaceholderText(QString::fromUtf8("如 10-99.5，可只填一边"));
  Sort = new QComboBox(this);
  Sort->addItem(QString::fromUtf8("默认排序"), QString());
  for (const auto& [name, label] : kSortLabels) {
    Sort->addItem(QString::fromUtf8(label), QString::fromUtf8(name));
    if (filters.sort == name) Sort->setCurrentIndex(Sort->count() - 1);
  }
  form->addRow(QString::fromUtf8("关键词："), Keyword);
  form->addRow(QString::fromUtf8("佣金比率(%)："), CommissionRate);
  form->addRow(QString::fromUtf8("价格(元)："), Price);
  form->addRow(QString::fromUtf8("排序："), Sort);

  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Reset, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QString::fromUtf8("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("取消"));
  buttons->button(QDialogButtonBox::Reset)->setText(QString::fromUtf8("清除条件"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TSearchConditionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, [this] {
    Keyword->clear();
    CommissionRate->clear();
    Price->clear();
    Sort->setCurrentIndex(0);
  });
  form->addRow(buttons);
}

void TSearchConditionsDialog::accept() {
  SearchFilters filters;
  // Every field that is wrong is named, not only the last one checked.
  QStringList problems;
  QWidget* first_wrong = nullptr;
  auto wrong = [&](QWidget* field, const QString& problem) {
    problems << problem;
    if (first_wrong == nullptr) first_wrong = field;
  };
  std::optional<std::string> keyword = Utf8ToGbkExact(Keyword->text().trimmed().toStdString());
  if (!keyword) {
    wrong(Keyword, QString::fromUtf8("关键词中有无法使用的字符。"));
  } else {
    filters.keyword = *keyword;
  }
  std::string rate = CommissionRate->text().trimmed().toStdString();
  if (!rate.empty() &&
      !ParseCommissionRange(rate, filters.commission_low, filters.commission_high)) {
    wrong(CommissionRate, QString::fromUtf8("佣金比率请填写如 5-12.5 的范围（百分比，不超过 100，"
                                            "最多两位小数）。"));
  } else if (QString crossed = CrossedBoundText(filters, configured_); !crossed.isEmpty()) {
    wrong(CommissionRate, crossed);
  }
  std::string price = Price->text().trimmed().toStdString();
  if (!price.empty() && !ParsePriceRange(price, filters.price_low, filters.price_high)) {
    wrong(Price, QString::fromUtf8("价格请填写如 10-99.5 的范围（元，最多两位小数）。"));
  }
  filters.sort = Sort->currentData().toString().toStdString();
  if (!problems.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), problems.join("\n"));
    first_wrong->setFocus();
    return;
  }
  filters_ = filters;
  QDialog::accept();
}

}  // namespace vendrix
