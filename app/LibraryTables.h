// The library's entries as rows of a table: the columns the command line prints and the
// window's library exports, one layout for both, written by TableText and TableWriter. Values
// are UTF-8, times ISO 8601 in UTC. Pure functions.
#pragma once

#include <string>
#include <vector>

#include "app/TableText.h"
#include "library/Library.h"

namespace vendrix {

// time, kind, id, nick, title, price, commission_rate, click_url, action.
std::vector<TableColumn> HistoryColumns();
std::vector<std::string> HistoryCells(const library::HistoryEntry& entry);

// kind, id, nick, title, note, saved_at; then, with `shops`, the shops' location and level (a
// number in JSON); then, with `items`, the items' price, commission_rate, commission and
// click_url.
std::vector<TableColumn> SavedColumns(bool shops, bool items);
std::vector<std::string> ShopCells(const library::SavedShop& shop);
// An item's cells; `shop_columns` leaves the shops' columns empty before the item's own.
std::vector<std::string> ItemCells(const library::SavedItem& item, bool shop_columns);
// Saved shops and items in one table under SavedColumns(shop_columns, ...): the latest saved
// first, a shop before an item saved in the same millisecond.
std::vector<std::vector<std::string>> SavedRows(const std::vector<library::SavedShop>& shops,
                                                const std::vector<library::SavedItem>& items,
                                                bool shop_columns);

}  // namespace vendrix
