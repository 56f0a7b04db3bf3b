#include "app/LibraryTables.h"

#include <algorithm>
#include <utility>

namespace vendrix {

std::vector<TableColumn> HistoryColumns() {
  return {{"time"},      {"kind"},  {"id"}, {"nick"}, {"title"}, {"price"}, {"commission_rate"},
          {"click_url"}, {"action"}};
}

std::vector<std::string> HistoryCells(const library::HistoryEntry& entry) {
  return {library::IsoTime(entry.time_ms),
          library::KindName(entry.kind),
          entry.id,
          entry.nick,
          entry.title,
          entry.price,
          entry.commission_rate,
          entry.click_url,
          library::ActionName(entry.action)};
}

std::vector<TableColumn> SavedColumns(bool shops, bool items) {
  std::vector<TableColumn> columns = {{"kind"},  {"id"},   {"nick"},
                                      {"title"}, {"note"}, {"saved_at"}};
  if (shops) columns.insert(columns.end(), {{"location"}, {"level", true}});
  if (items) {
    columns.insert(columns.end(), {{"price"}, {"commission_rate"}, {"commission"}, {"click_url"}});
  }
  return columns;
}

std::vector<std::string> ShopCells(const library::SavedShop& shop) {
  return {"shop",        shop.shop_id,
          shop.nick,     shop.title,
          shop.note,     library::IsoTime(shop.saved_ms),
          shop.location, shop.level > 0 ? std::to_string(shop.level) : ""};
}

std::vector<std::string> ItemCells(const library::SavedItem& item, bool shop_columns) {
  std::vector<std::string> cells = {"item",     item.item_id, item.nick,
                                    item.title, item.note,    library::IsoTime(item.saved_ms)};
  if (shop_columns) cells.insert(cells.end(), {"", ""});
  cells.insert(cells.end(), {item.price, item.commission_rate, item.commission, item.click_url});
  return cells;
}

std::vector<std::vector<std::string>> SavedRows(const std::vector<library::SavedShop>& shops,
                                                const std::vector<library::SavedItem>& items,
                                                bool shop_columns) {
  std::vector<std::pair<int64_t, std::vector<std::string>>> rows;
  for (const library::SavedShop& shop : shops) rows.push_back({shop.saved_ms, ShopCells(shop)});
  for (const library::SavedItem& item : items) {
    rows.push_back({item.saved_ms, ItemCells(item, shop_columns)});
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::vector<std::string>> cells;
  cells.reserve(rows.size());
  for (auto& row : rows) cells.push_back(std::move(row.second));
  return cells;
}

}  // namespace vendrix
