// The generated shop page: the fixed page texts, and the page of one seller row composed from
// them with every inserted value HTML-escaped, each item with the line of what it pays. GBK
// text throughout. Pure functions.
#pragma once

#include <string>
#include <string_view>

#include "app/ItemCommissions.h"
#include "app/SellerInfo.h"

namespace vendrix {

// The fixed texts, GBK.
const std::string& PageStyle();
const std::string& PageBody();
const std::string& PageEnd();

// The page shown while a search runs and after one that found nothing: body and end.
std::string EmptyPage();

// `text` with &, <, >, " and ' written as character references: safe as element text and
// inside a quoted attribute.
std::string EscapeHtml(std::string_view text);

namespace page_defaults {
inline constexpr size_t kMaxItems = 60;
}  // namespace page_defaults

// How many item blocks the page of `row` shows: its items up to the first without a title, at
// most 60.
size_t ShownItemCount(const Info& row);

// The id of the element that holds the commission line of the page's item `index` (from 0).
std::string CommissionLineId(size_t index);

// The page of `row`: style, body, the shop block and one block per item (ShownItemCount), then
// the end. Under each item's price its commission line, from `commissions` (the items in page
// order) or, without them, "佣金…" for every item. A row without `logo_url` shows no logo, its
// place kept. `vendor_base` ends with "/".
std::string BuildShopPage(const Info& row, const std::string& vendor_base,
                          const PageCommissions* commissions = nullptr);

}  // namespace vendrix
