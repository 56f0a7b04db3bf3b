// The seller list and a shop's items as text a terminal, a script or a spreadsheet reads:
// TSV (one record a line), CSV as spreadsheets open it (UTF-8 with a byte-order mark, CRLF,
// fields quoted as RFC 4180 says) and JSON. Input rows are GBK, output UTF-8. Pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ShopFinder.h"
#include "app/ShopItems.h"

namespace vendrix {

enum class TableFormat { kTsv, kCsv, kJson };

// "tsv", "csv" or "json"; nullopt for anything else.
std::optional<TableFormat> ParseTableFormat(std::string_view name);

// `utf8` fit for one TSV cell or one line of a message: every control byte (tabs and line
// breaks included) written as a blank.
std::string CellText(std::string_view utf8);

// The sellers as the search prints them: TSV nick, location, level (no header, unless
// `tsv_header`); CSV with the header nick,location,level; JSON objects {"nick", "location",
// "level" (a number)}.
std::string SellersText(const std::vector<SellerRow>& rows, TableFormat format,
                        bool tsv_header = false);

// The items with a header line in TSV and CSV: iid, title, price, commission_rate, commission,
// click_url; JSON objects with those keys and string values.
std::string ItemsText(const std::vector<AffiliateItemRow>& rows, TableFormat format);

}  // namespace vendrix
