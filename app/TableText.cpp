#include "app/TableText.h"

#include <cctype>
#include <cstdio>

#include "platform/CodePage.h"

namespace vendrix {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string CsvField(std::string_view utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Rows of UTF-8 cells under `header`, in `format`; `numeric` marks JSON values written bare.
std::string Table(const std::vector<std::string>& header,
                  const std::vector<std::vector<std::string>>& rows, TableFormat format,
                  bool header_in_tsv, const std::vector<bool>& numeric = {}) {
  std::string out;
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += format == TableFormat::kCsv ? "," : "\t";
      out += format == TableFormat::kCsv ? CsvField(cells[i]) : CellText(cells[i]);
    }
    out += format == TableFormat::kCsv ? "\r\n" : "\n";
  };
  switch (format) {
    case TableFormat::kTsv:
      if (header_in_tsv) line(header);
      for (const auto& row : rows) line(row);
      break;
    case TableFormat::kCsv:
      out += kByteOrderMark;
      line(header);
      for (const auto& row : rows) line(row);
      break;
    case TableFormat::kJson:
      out += "[";
      for (size_t r = 0; r < rows.size(); ++r) {
        out += r > 0 ? ",\n {" : "{";
        for (size_t i = 0; i < header.size(); ++i) {
          if (i > 0) out += ",";
          bool bare = i < numeric.size() && numeric[i];
          out += JsonString(header[i]) + ":" + (bare ? rows[r][i] : JsonString(rows[r][i]));
        }
        out += "}";
      }
      out += "]\n";
      break;
  }
  return out;
}

}  // namespace

std::optional<TableFormat> ParseTableFormat(std::string_view name) {
  if (name == "tsv") return TableFormat::kTsv;
  if (name == "csv") return TableFormat::kCsv;
  if (name == "json") return TableFormat::kJson;
  return std::nullopt;
}

std::string CellText(std::string_view utf8) {
  std::string text(utf8);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

std::string SellersText(const std::vector<SellerRow>& rows, TableFormat format, bool tsv_header) {
  std::vector<std::vector<std::string>> cells;
  for (const SellerRow& row : rows) {
    cells.push_back({GbkToUtf8(row.nick), GbkToUtf8(row.location), std::to_string(row.level)});
  }
  return Table({"nick", "location", "level"}, cells, format, tsv_header, {false, false, true});
}

std::string ItemsText(const std::vector<AffiliateItemRow>& rows, TableFormat format) {
  std::vector<std::vector<std::string>> cells;
  for (const AffiliateItemRow& row : rows) {
    cells.push_back({GbkToUtf8(row.iid), GbkToUtf8(row.title), GbkToUtf8(row.price),
                     GbkToUtf8(row.commission_rate), GbkToUtf8(row.commission),
                     GbkToUtf8(row.click_url)});
  }
  return Table({"iid", "title", "price", "commission_rate", "commission", "click_url"}, cells,
               format, true);
}

}  // namespace vendrix
