// What the window offers the affiliate beyond its design: the seller list's menu (copy a
// row's nick or its shop's affiliate address, export the list), link addresses copied to the
// clipboard instead of opened, and the further search conditions with their marker beside
// the search box's title. Window thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <string>
#include <vector>

#include "app/ShopFinder.h"

class QLabel;

namespace vendrix {

class TForm1;
class TPageLoader;
class TSellerListMenu;

class TAffiliateTools : public QObject {
 public:
  // Reads the remembered search conditions and puts the menu on `form`'s seller list.
  TAffiliateTools(TForm1& form, ShopFinder& finder, TPageLoader& loader);

  // The further search conditions, for the next search.
  const SearchFilters& Filters() const { return filters_; }
  // True when the further conditions fit the configuration's commission bounds. Otherwise
  // (conditions remembered from a run under another configuration) a search with them could
  // only find nothing: says which configured bound they cross, offers to change them, and
  // returns false.
  bool ConditionsFitConfiguration();
  // The rows the list shows now, for the export.
  void SetRows(std::vector<SellerRow> rows) { rows_ = std::move(rows); }

  // Puts `gbk` on the clipboard, says `status` over the page for two seconds, and announces
  // the copy (TForm1::LinkCopied) with `commission_rate` (an item's, as the platform gave it).
  // An empty `gbk` is a conversion that failed: that is said instead, with `failure`'s reason,
  // and the clipboard is left alone.
  void Copy(const std::string& gbk, const QString& status, const CallFailure& failure = {},
            const std::string& commission_rate = "");
  // A row's shop converted for the clipboard, or not: the shop its lookup found is the row's
  // now.
  void ShopLinkConverted(const ShopLinkJob& job);

  // Shows `status` over the page for two seconds.
  void Say(const QString& status);

  // Saves the rows the list shows as a file the user picks (the menus' 导出卖家列表...).
  void ExportSellers();
  // Edits the further conditions (更多搜索条件...); accepted, they are remembered and marked.
  void EditSearchConditions();

 private:
  void ShowConditionsMarker();

  TForm1& form_;
  ShopFinder& finder_;
  TPageLoader& loader_;
  TSellerListMenu* menu_ = nullptr;
  SearchFilters filters_;
  std::vector<SellerRow> rows_;
  QLabel* note_ = nullptr;  // the status over the page, made when first needed
  QTimer note_timer_;
};

}  // namespace vendrix
