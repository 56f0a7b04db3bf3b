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

TableWriter::TableWriter(std::vector<TableColumn> columns, TableFormat format, bool tsv_header)
    : columns_(std::move(columns)), format_(format), tsv_header_(tsv_header) {}

std::string TableWriter::Begin() const {
  std::vector<std::string> header;
  for (const TableColumn& column : columns_) header.push_back(column.name);
  switch (format_) {
    case TableFormat::kTsv: {
      if (!tsv_header_) return "";
      std::string out;
      for (size_t i = 0; i < header.size(); ++i) out += (i > 0 ? "\t" : "") + CellText(header[i]);
      return out + "\n";
    }
    case TableFormat::kCsv:
      return std::string(kCsvByteOrderMark) + CsvLine(header);
    case TableFormat::kJson:
      break;
  }
  return "[";
}

std::string TableWriter::Rows(const std::vector<std::vector<std::string>>& rows) {
  // Every row as wide as the header, whatever it was given.
  auto cells = [&](const std::vector<std::string>& row) {
    std::vector<std::string> out(columns_.size());
    for (size_t i = 0; i < out.size() && i < row.size(); ++i) out[i] = row[i];
    return out;
  };
  std::string out;
  for (const auto& given : rows) {
    std::vector<std::string> row = cells(given);
    switch (format_) {
      case TableFormat::kTsv:
        for (size_t i = 0; i < row.size(); ++i) out += (i > 0 ? "\t" : "") + CellText(row[i]);
        out += "\n";
        break;
      case TableFormat::kCsv:
        out += CsvLine(row);
        break;
      case TableFormat::kJson:
        out += written_ > 0 ? ",\n {" : "{";
        for (size_t i = 0; i < columns_.size(); ++i) {
          if (i > 0) out += ",";
          bool bare = columns_[i].number && IsJsonNumber(row[i]);
          out += JsonString(columns_[i].name) + ":" + (bare ? row[i] : JsonString(row[i]));
        }
        out += "}";
        break;
    }
    ++written_;
  }
  return out;
}

std::string TableWriter::End() const { return format_ == TableFormat::kJson ? "]\n" : ""; }

std::string TableText(const std::vector<TableColumn>& columns,
                      const std::vector<std::vector<std::string>>& rows, TableFormat format,
                      bool tsv_header) {
  TableWriter writer(columns, format, tsv_header);
  std::string out = writer.Begin();
  out += writer.Rows(rows);
  return out + writer.End();
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
