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
}

}  // namespace
}  // namespace vendrix
