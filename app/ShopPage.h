// The generated shop page: the fixed page texts, and the page of one seller row composed from
// them with every inserted value HTML-escaped. GBK text throughout. Pure functions.
#pragma once

#include <string>
#include <string_view>

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

// The page of `row`: style, body, the shop block and one block per item up to the first
// without a title, at most 60, then the end. A row without `logo_url` shows no logo, its place
// kept. `vendor_base` ends with "/".
std::string BuildShopPage(const Info& row, const std::string& vendor_base);

}  // namespace vendrix
