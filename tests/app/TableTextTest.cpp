// The seller and item tables as the command line prints them and the window exports them.
#include <gtest/gtest.h>

#include "app/TableText.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

// A title holding a comma, a double quote or a line break stays one field in every format.
TEST(TableTextTest, EachFormatKeepsEveryFieldWhole) {
  struct Case {
    std::string title;  // UTF-8, as the user reads it
    std::string csv;    // the title's field in each format
    std::string tsv;
    std::string json;
  };
  // RFC 4180, section 2: a field holding a comma, a double quote, CR or LF is quoted, quotes
  // inside doubled; anything else, blanks included, stands as it is.
  const Case cases[] = {
      {"plain", "plain", "plain", "\"plain\""},
      {" 前后空格 ", " 前后空格 ", " 前后空格 ", "\" 前后空格 \""},
      {"包邮, 正品", "\"包邮, 正品\"", "包邮, 正品", "\"包邮, 正品\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\"", "say \"hi\"", "\"say \\\"hi\\\"\""},
      {"两行\r\n第二行", "\"两行\r\n第二行\"", "两行  第二行", "\"两行\\u000d\\u000a第二行\""},
      {"lone\nLF", "\"lone\nLF\"", "lone LF", "\"lone\\u000aLF\""},
      {"lone\rCR", "\"lone\rCR\"", "lone CR", "\"lone\\u000dCR\""},
      {"tab\there", "tab\there", "tab here", "\"tab\\u0009here\""},
      // A cell a spreadsheet would run as a formula is text in CSV alone, after an apostrophe.
      {"=HYPERLINK(\"http://evil/\",\"点我\")",
       "\"'=HYPERLINK(\"\"http://evil/\"\",\"\"点我\"\")\"",
       "=HYPERLINK(\"http://evil/\",\"点我\")",
       "\"=HYPERLINK(\\\"http://evil/\\\",\\\"点我\\\")\""},
      {"+1+1", "'+1+1", "+1+1", "\"+1+1\""},
      {"-2+3", "'-2+3", "-2+3", "\"-2+3\""},
      {"@SUM(1)", "'@SUM(1)", "@SUM(1)", "\"@SUM(1)\""},
      {"\t=1", "'\t=1", " =1", "\"\\u0009=1\""},
      {"\r=1", "\"'\r=1\"", " =1", "\"\\u000d=1\""},
      {"a=1", "a=1", "a=1", "\"a=1\""},
  };
  for (const Case& c : cases) {
    const std::vector<AffiliateItemRow> rows = {
        {"1", Utf8ToGbk(c.title), "9.90", "2592", "0.26", "http://click/1"},
        {"2", "x", "10", "", "", ""},
    };
    // A spreadsheet reads UTF-8 only after a byte-order mark, at the very start; every line
    // ends in CRLF, the last one too.
    const std::string csv_row = "1," + c.csv + ",9.90,2592,0.26,http://click/1\r\n";
    EXPECT_EQ(ItemsText(rows, TableFormat::kCsv),
              "\xEF\xBB\xBFiid,title,price,commission_rate,commission,click_url\r\n" + csv_row +
                  "2,x,10,,,\r\n")
        << c.title;
    const std::string tsv_row = "1\t" + c.tsv + "\t9.90\t2592\t0.26\thttp://click/1\n";
    EXPECT_EQ(ItemsText(rows, TableFormat::kTsv),
              "iid\ttitle\tprice\tcommission_rate\tcommission\tclick_url\n" + tsv_row +
                  "2\tx\t10\t\t\t\n")
        << c.title;
    EXPECT_EQ(ItemsText(rows, TableFormat::kJson),
              "[{\"iid\":\"1\",\"title\":" + c.json +
                  ",\"price\":\"9.90\",\"commission_rate\":\"2592\",\"commission\":\"0.26\","
                  "\"click_url\":\"http://click/1\"},\n"
                  " {\"iid\":\"2\",\"title\":\"x\",\"price\":\"10\",\"commission_rate\":\"\","
                  "\"commission\":\"\",\"click_url\":\"\"}]\n")
        << c.title;
  }

  // Without rows the header still names the columns; the seller list's level is a number.
  EXPECT_EQ(ItemsText({}, TableFormat::kCsv),
            "\xEF\xBB\xBFiid,title,price,commission_rate,commission,click_url\r\n");
  EXPECT_EQ(ItemsText({}, TableFormat::kJson), "[]\n");
  const std::vector<SellerRow> sellers = {{Utf8ToGbk("美美,服饰"), Utf8ToGbk("浙江杭州"), 6}};
  EXPECT_EQ(SellersText(sellers, TableFormat::kCsv),
            "\xEF\xBB\xBFnick,location,level\r\n\"美美,服饰\",浙江杭州,6\r\n");
  EXPECT_EQ(SellersText(sellers, TableFormat::kJson),
            "[{\"nick\":\"美美,服饰\",\"location\":\"浙江杭州\",\"level\":6}]\n");
  // The window exports the seller list through the same writer.
  const std::vector<SellerRow> formula = {{"=cmd|' /C calc'!A0", "@x", 1}};
  EXPECT_EQ(SellersText(formula, TableFormat::kCsv),
            "\xEF\xBB\xBFnick,location,level\r\n'=cmd|' /C calc'!A0,'@x,1\r\n");
  EXPECT_EQ(SellersText(formula, TableFormat::kTsv), "=cmd|' /C calc'!A0\t@x\t1\n");
}

// RFC 8259, section 7: the quotation mark, the reverse solidus and the control characters
// U+0000 to U+001F must be escaped in a string; each is, wherever a reply puts it.
TEST(TableTextTest, JsonEscapesEveryCharacterAStringMustNotHold) {
  const char* const escaped[0x20] = {
      "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
      "\\u0008", "\\u0009", "\\u000a", "\\u000b", "\\u000c", "\\u000d", "\\u000e", "\\u000f",
      "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
      "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f",
  };
  std::vector<std::pair<std::string, std::string>> cases = {{"\"", "\\\""}, {"\\", "\\\\"}};
  for (int c = 0; c < 0x20; ++c) {
    cases.push_back({std::string(1, static_cast<char>(c)), escaped[c]});
  }
  for (const auto& [character, escape] : cases) {
    SCOPED_TRACE(static_cast<int>(character[0]));
    // At the start, inside and at the end of a value, beside Chinese text.
    const std::string gbk = character + Utf8ToGbk("店") + character + "x" + character;
    const std::string json = "\"" + escape + "店" + escape + "x" + escape + "\"";
    EXPECT_EQ(ItemsText({{"1", gbk, "", "", "", ""}}, TableFormat::kJson),
              "[{\"iid\":\"1\",\"title\":" + json +
                  ",\"price\":\"\",\"commission_rate\":\"\",\"commission\":\"\","
                  "\"click_url\":\"\"}]\n");
    EXPECT_EQ(SellersText({{gbk, gbk, 3}}, TableFormat::kJson),
              "[{\"nick\":" + json + ",\"location\":" + json + ",\"level\":3}]\n");
  }
}

}  // namespace
}  // namespace vendrix
