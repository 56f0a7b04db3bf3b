// The seller list and a shop's items as text a terminal, a script or a spreadsheet reads:
// TSV (one record a line), CSV as spreadsheets open it (UTF-8 with a byte-order mark, CRLF,
// fields quoted as RFC 4180 says, no cell a spreadsheet would run as a formula) and JSON.
// Input rows are GBK, output UTF-8. The writers take any columns, so that every table the
// program writes goes through them. Pure functions.
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

// What a CSV file starts with, so that spreadsheets read it as UTF-8.
inline constexpr std::string_view kCsvByteOrderMark = "\xEF\xBB\xBF";

// `utf8` as one CSV field. A value starting with "=", "+", "-", "@", a tab or a carriage
// return, which Excel and LibreOffice would run as a formula, gets one leading apostrophe;
// then a field holding a comma, a double quote, CR or LF is quoted, its quotes doubled.
std::string CsvField(std::string_view utf8);

// `cells` as one CSV line: fields as CsvField writes them, separated by commas, ending in CRLF.
std::string CsvLine(const std::vector<std::string>& cells);

// `utf8` as a JSON string, quotes included: the quotation mark, the reverse solidus and every
// control character escaped, everything else as given.
std::string JsonString(std::string_view utf8);

// One column of a table: its name (the header's cell, the JSON key) and whether JSON writes
// its values as numbers.
struct TableColumn {
  std::string name;
  bool number = false;
};

// Rows of UTF-8 cells under `columns`, in `format`: TSV one row a line with control bytes as
// blanks, a header line first when `tsv_header`; CSV the byte-order mark, a header line and
// CsvLine rows; JSON an array of objects keyed by the column names. A row with fewer cells
// than columns reads as ending in empty cells, cells beyond the columns are left out, and a
// number column's value that is not a JSON number is written as a string.
std::string TableText(const std::vector<TableColumn>& columns,
                      const std::vector<std::vector<std::string>>& rows, TableFormat format,
                      bool tsv_header = true);

// The same table written a part at a time, for a table too long to hold at once: Begin(),
// then Rows() for each part, then End(); together they are what TableText writes.
class TableWriter {
 public:
  TableWriter(std::vector<TableColumn> columns, TableFormat format, bool tsv_header = true);
  std::string Begin() const;
  std::string Rows(const std::vector<std::vector<std::string>>& rows);
  std::string End() const;

 private:
  std::vector<TableColumn> columns_;
  TableFormat format_;
  bool tsv_header_;
  size_t written_ = 0;  // rows so far
};

// The sellers as the search prints them: TSV nick, location, level (no header, unless
// `tsv_header`); CSV with the header nick,location,level; JSON objects {"nick", "location",
// "level" (a number)}.
std::string SellersText(const std::vector<SellerRow>& rows, TableFormat format,
                        bool tsv_header = false);

// The items with a header line in TSV and CSV: iid, title, price, commission_rate, commission,
// click_url; JSON objects with those keys and string values.
std::string ItemsText(const std::vector<AffiliateItemRow>& rows, TableFormat format);

}  // namespace vendrix
