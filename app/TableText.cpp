#include "app/TableText.h"

#include <cstdio>

#include "platform/CodePage.h"

namespace vendrix {
namespace {

// A JSON number as RFC 8259 writes one: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool IsJsonNumber(std::string_view text) {
  size_t at = 0;
  auto digits = [&] {
    size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at - start;
  };
  if (at < text.size() && text[at] == '-') ++at;
  size_t whole = at;
  if (digits() == 0 || (text[whole] == '0' && at - whole > 1)) return false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    if (digits() == 0) return false;
  }
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return false;
  }
  return at == text.size();
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

std::string CsvField(std::string_view utf8) {
  std::string value;
  // A spreadsheet runs a cell starting with one of these as a formula (=HYPERLINK, DDE);
  // the apostrophe makes it text.
  if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8[0]) != std::string_view::npos) {
    value = "'";
  }
  value += utf8;
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) out += ",";
    out += CsvField(cells[i]);
  }
  return out + "\r\n";
}

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

std::string TableText(const std::vector<TableColumn>& columns,
                      const std::vector<std::vector<std::string>>& rows, TableFormat format,
                      bool tsv_header) {
  // Every row as wide as the header, whatever it was given.
  auto cells = [&](const std::vector<std::string>& row) {
    std::vector<std::string> out(columns.size());
    for (size_t i = 0; i < out.size() && i < row.size(); ++i) out[i] = row[i];
    return out;
  };
  std::vector<std::string> header;
  for (const TableColumn& column : columns) header.push_back(column.name);

  std::string out;
  switch (format) {
    case TableFormat::kTsv: {
      auto line = [&](const std::vector<std::string>& row) {
        for (size_t i = 0; i < row.size(); ++i) out += (i > 0 ? "\t" : "") + CellText(row[i]);
        out += "\n";
      };
      if (tsv_header) line(header);
      for (const auto& row : rows) line(cells(row));
      break;
    }
    case TableFormat::kCsv:
      out += kCsvByteOrderMark;
      out += CsvLine(header);
      for (const auto& row : rows) out += CsvLine(cells(row));
      break;
    case TableFormat::kJson:
      out += "[";
      for (size_t r = 0; r < rows.size(); ++r) {
        out += r > 0 ? ",\n {" : "{";
        std::vector<std::string> row = cells(rows[r]);
        for (size_t i = 0; i < columns.size(); ++i) {
          if (i > 0) out += ",";
          bool bare = columns[i].number && IsJsonNumber(row[i]);
          out += JsonString(columns[i].name) + ":" + (bare ? row[i] : JsonString(row[i]));
        }
        out += "}";
      }
      out += "]\n";
      break;
  }
  return out;
}

std::string SellersText(const std::vector<SellerRow>& rows, TableFormat format,
                        bool tsv_header) {
  std::vector<std::vector<std::string>> cells;
  for (const SellerRow& row : rows) {
    cells.push_back({GbkToUtf8(row.nick), GbkToUtf8(row.location), std::to_string(row.level)});
  }
  return TableText({{"nick"}, {"location"}, {"level", true}}, cells, format, tsv_header);
}

std::string ItemsText(const std::vector<AffiliateItemRow>& rows, TableFormat format) {
  std::vector<std::vector<std::string>> cells;
  for (const AffiliateItemRow& row : rows) {
    cells.push_back({GbkToUtf8(row.iid), GbkToUtf8(row.title), GbkToUtf8(row.price),
                     GbkToUtf8(row.commission_rate), GbkToUtf8(row.commission),
                     GbkToUtf8(row.click_url)});
  }
  return TableText({{"iid"}, {"title"}, {"price"}, {"commission_rate"}, {"commission"},
                    {"click_url"}},
                   cells, format);
}

}  // namespace vendrix
