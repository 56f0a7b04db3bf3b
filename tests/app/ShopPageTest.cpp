#include "app/ShopPage.h"

#include <gtest/gtest.h>

#include "app/Links.h"
#include "app/ReferenceTables.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

PTaobaoSearchInfo Items(int count, const std::string& total) {
  auto rows = std::make_shared<std::vector<TaobaoSearchInfo>>(201);
  for (int i = 0; i < count; ++i) {
    TaobaoSearchInfo& item = (*rows)[static_cast<size_t>(i)];
    item.iid = std::to_string(5000000001LL + i);
    item.title = Utf8ToGbk("连衣裙 ") + std::to_string(i);
    item.price = std::to_string(10 + i) + ".50";
    item.pic_url = "http://img/p" + std::to_string(i) + ".jpg";
    item.total = total;
  }
  return rows;
}

Info Row() {
  Info row;
  row.nick = Utf8ToGbk("小桃的店");
  row.location = Utf8ToGbk("浙江杭州");
  row.title = Utf8ToGbk("小桃精品店");
  row.logo_url = "http://logo/shop-logo/a/b.jpg";
  row.credit_pic_url = "http://pics/newrank/s_blue_1.gif";
  return row;
}

TEST(ShopPageTest, FixedTextsHaveTheirExactSizes) {
  EXPECT_EQ(PageStyle().size(), 869u);
  EXPECT_TRUE(PageStyle().starts_with("<style>") && PageStyle().ends_with("</style>"));
  EXPECT_EQ(PageBody().size(), 81u);
  EXPECT_EQ(PageEnd(), "</body>");
  EXPECT_EQ(EmptyPage(), "<style>body{width:auto !important;}</style>" + PageBody() + "</body>");
}

TEST(ShopPageTest, ExactBytesForASellerWithThreeItems) {
  Info row = Row();
  row.items = Items(3, "3");
  std::string expected_utf8 =
      "<style>body{width:auto !important;}</style>"
      "<style>.mydiv{height:271px;} .commission{height:16px;line-height:16px;white-space:nowrap;"
      "overflow:hidden;text-overflow:ellipsis;}</style>"
      "<body leftMargin=5  topMargin=10 scroll=auto style=\"width:100%; border-width=0;\">"
      "<div class=\"myshop\"><div class=\"myshop_pic\"><img src=\"http://logo/shop-logo/a/b.jpg\">"
      "</div><a href=\"http://小桃的店/\">小桃精品店</a><br><div class=\"myshop_title\">"
      "卖家昵称：小桃的店<br>所 在 地：浙江杭州<br>商品总数：3 件<br>"
      "<img src=\"http://pics/newrank/s_blue_1.gif\"></div><div class=\"mybut\">"
      "<a href=\"http://小桃的店/\"><img src=\"http://vendor//taoke/shop.gif\" alt=\"进入该商铺\">"
      "</a></div></div><hr>"
      "<div class=\"mydiv\"><div class=\"pic_url\"><a href=\"http://iid5000000001/\">"
      "<img src=\"http://img/p0.jpg_160x160.jpg\"></a></div><div class=\"title\">"
      "<a href=\"http://iid5000000001/\">连衣裙 0</a></div><strong>￥10.50</strong>"
      "<div class=\"commission\" id=\"commission-0\">佣金…</div></div>"
      "<div class=\"mydiv\"><div class=\"pic_url\"><a href=\"http://iid5000000002/\">"
      "<img src=\"http://img/p1.jpg_160x160.jpg\"></a></div><div class=\"title\">"
      "<a href=\"http://iid5000000002/\">连衣裙 1</a></div><strong>￥11.50</strong>"
      "<div class=\"commission\" id=\"commission-1\">佣金…</div></div>"
      "<div class=\"mydiv\"><div class=\"pic_url\"><a href=\"http://iid5000000003/\">"
      "<img src=\"http://img/p2.jpg_160x160.jpg\"></a></div><div class=\"title\">"
      "<a href=\"http://iid5000000003/\">连衣裙 2</a></div><strong>￥12.50</strong>"
      "<div class=\"commission\" id=\"commission-2\">佣金…</div></div>"
      "</body>";
  std::string page = BuildShopPage(row, "http://vendor/");
  ASSERT_TRUE(page.starts_with(PageStyle()));
  EXPECT_EQ(GbkToUtf8(page.substr(PageStyle().size())), expected_utf8);
  // The full-width colon and yen sign are GBK A3BA and A3A4.
  EXPECT_NE(page.find("\xA3\xBA"), std::string::npos);
  EXPECT_NE(page.find("\xA3\xA4"), std::string::npos);

  // A shop without a logo keeps the logo's place, empty: no picture address at all.
  row.logo_url.clear();
  std::string without_logo = expected_utf8;
  const std::string logo = "<img src=\"http://logo/shop-logo/a/b.jpg\">";
  without_logo.replace(without_logo.find(logo), logo.size(),
                       "<img alt=\"\" style=\"visibility:hidden\">");
  EXPECT_EQ(GbkToUtf8(BuildShopPage(row, "http://vendor/").substr(PageStyle().size())),
            without_logo);
}

TEST(ShopPageTest, ShowsAtMostSixtyItemsAndStopsAtTheFirstWithoutTitle) {
  Info row = Row();
  row.items = Items(75, "75");
  std::string page = BuildShopPage(row, "http://vendor/");
  size_t blocks = 0;
  for (size_t at = page.find("class=\"mydiv\""); at != std::string::npos;
       at = page.find("class=\"mydiv\"", at + 1)) {
    ++blocks;
  }
  EXPECT_EQ(blocks, 60u);
  EXPECT_NE(page.find(Utf8ToGbk("商品总数：75 件")), std::string::npos);
}

TEST(ShopPageTest, InsertedValuesAreEscaped) {
  Info row = Row();
  row.nick = "a\"><script>alert(1)</script>";
  row.title = "<b>bold</b> & co";
  row.items = Items(1, "1");
  auto items = std::make_shared<std::vector<TaobaoSearchInfo>>(*row.items);
  (*items)[0].title = "<script>steal()</script>";
  (*items)[0].pic_url = "x\" onerror=\"alert(2)";
  row.items = items;
  std::string page = BuildShopPage(row, "http://vendor/");
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("onerror=\""), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;steal()&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;bold&lt;/b&gt; &amp; co"), std::string::npos);
  EXPECT_NE(page.find("href=\"http://a&quot;&gt;&lt;script&gt;"), std::string::npos);
}

TEST(ShopPageTest, WithoutItemsTheShopBlockStillShows) {
  Info row = Row();
  std::string failed = GbkToUtf8(BuildShopPage(row, "http://vendor/"));
  EXPECT_NE(failed.find("商品总数：? 件"), std::string::npos) << "the item search failed";
  EXPECT_EQ(failed.find("class=\"mydiv\""), std::string::npos);
  EXPECT_TRUE(failed.ends_with("<hr></body>"));

  row.items = Items(0, "");
  std::string empty = GbkToUtf8(BuildShopPage(row, "http://vendor/"));
  EXPECT_NE(empty.find("商品总数：0 件"), std::string::npos) << "the shop has no items";

  auto untitled_first = std::make_shared<std::vector<TaobaoSearchInfo>>(*Items(2, "75"));
  (*untitled_first)[0].title.clear();
  row.items = untitled_first;
  std::string untitled = GbkToUtf8(BuildShopPage(row, "http://vendor/"));
  EXPECT_NE(untitled.find("商品总数：75 件"), std::string::npos) << "a first item without a title";
}

// The line under each price, for every state an item's conversion can be in; the rate comes in
// hundredths of a percent.
TEST(CommissionLineTest, SaysWhatEachItemPays) {
  struct Case {
    ItemCommission::State state;
    const char* rate;
    const char* commission;
    const char* line;
  };
  const Case cases[] = {
      {ItemCommission::kConverted, "550", "3.40", "佣金 5.50% · ￥3.40"},
      {ItemCommission::kConverted, "550.00", "3.40", "佣金 5.50% · ￥3.40"},
      {ItemCommission::kConverted, "1234.5", "7", "佣金 12.35% · ￥7"},
      {ItemCommission::kConverted, "999.5", "10", "佣金 10.00% · ￥10"},
      {ItemCommission::kConverted, "5", "0.01", "佣金 0.05% · ￥0.01"},
      {ItemCommission::kConverted, "0", "0.00", "佣金 0.00% · ￥0.00"},
      {ItemCommission::kConverted, "000550", "3.40", "佣金 5.50% · ￥3.40"},
      // Not a number: as given.
      {ItemCommission::kConverted, "5.5%", "约3元", "佣金 5.5% · ￥约3元"},
      {ItemCommission::kConverted, "-550", "3.40", "佣金 -550 · ￥3.40"},
      {ItemCommission::kConverted, "550.", "3.40", "佣金 550. · ￥3.40"},
      {ItemCommission::kConverted, "", "", "佣金 ? · ￥?"},
      {ItemCommission::kPending, "", "", "佣金…"},
      {ItemCommission::kNone, "", "", "无佣金"},
      {ItemCommission::kFailed, "", "", "佣金未知"},
  };
  for (const Case& c : cases) {
    ItemCommission item{c.state, Utf8ToGbk(c.rate), Utf8ToGbk(c.commission), ""};
    EXPECT_EQ(GbkToUtf8(CommissionLine(item)), c.line) << c.rate << " " << c.commission;
  }
}

// A page's items with the outcome of their batches: a reply in an order of its own that leaves
// items out, markup in a commission, a batch that failed, an id shown twice.
TEST(ShopPageTest, CommissionLinesFromShuffledIncompleteAndFailedBatches) {
  Info row = Row();
  row.items = Items(60, "60");
  auto items = std::make_shared<std::vector<TaobaoSearchInfo>>(*row.items);
  (*items)[59].iid = (*items)[1].iid;  // shown twice
  row.items = items;
  PageCommissions page(row);
  ASSERT_EQ(page.size(), 60u);
  auto iid = [&](size_t i) { return (*items)[i].iid; };

  CommissionBatch first;  // items 0-49
  for (size_t i = 0; i < 50; ++i) first.iids.push_back(iid(i));
  first.ok = true;
  // Backwards, without items 3 and 7, item 5's commission holding markup, item 6's address no
  // web address.
  for (size_t i = 50; i-- > 0;) {
    if (i == 3 || i == 7) continue;
    TaobaokeConvertInfo converted;
    converted.iid = iid(i);
    converted.commission_rate = std::to_string(100 + i) + ".00";
    converted.commission = i == 5 ? "<b onclick=x>9</b>" : std::to_string(i) + ".40";
    converted.click_url = i == 6 ? "javascript:alert(1)" : "http://click/" + iid(i);
    first.rows.push_back(converted);
  }
  CommissionBatch second;  // items 50-58: the call failed
  second.index = 1;
  for (size_t i = 50; i < 59; ++i) second.iids.push_back(iid(i));

  EXPECT_FALSE(page.Settled());
  EXPECT_EQ(page.Apply(first).size(), 51u) << "items 0-49, and item 59 of item 1's id";
  EXPECT_EQ(page.Apply(second).size(), 9u);
  EXPECT_TRUE(page.Settled());
  EXPECT_TRUE(page.Apply(first).empty()) << "a batch once applied changes nothing again";

  std::string html = GbkToUtf8(BuildShopPage(row, "http://vendor/", &page));
  auto line = [&](size_t i) {
    std::string open = "<div class=\"commission\" id=\"commission-" + std::to_string(i) + "\">";
    size_t at = html.find(open);
    EXPECT_NE(at, std::string::npos) << i;
    at += open.size();
    return html.substr(at, html.find("</div>", at) - at);
  };
  EXPECT_EQ(line(0), "佣金 1.00% · ￥0.40");
  EXPECT_EQ(line(49), "佣金 1.49% · ￥49.40") << "matched by id, not by the reply's order";
  EXPECT_EQ(line(3), "无佣金");
  EXPECT_EQ(line(7), "无佣金");
  EXPECT_EQ(line(5), "佣金 1.05% · ￥&lt;b onclick=x&gt;9&lt;/b&gt;") << "escaped";
  EXPECT_EQ(line(50), "佣金未知");
  EXPECT_EQ(line(58), "佣金未知");
  EXPECT_EQ(line(59), line(1)) << "an id shown twice";
  EXPECT_EQ(html.find("<b onclick"), std::string::npos);

  // What a click on each can use: the address, or the platform's "none".
  EXPECT_EQ(page.Find(iid(0))->click_url, "http://click/" + iid(0));
  EXPECT_EQ(page.Find(iid(0))->commission_rate, "100.00");
  EXPECT_EQ(page.Find(iid(6))->click_url, "") << "only web addresses";
  EXPECT_EQ(page.Find(iid(3))->state, ItemCommission::kNone);
  EXPECT_EQ(page.Find("1"), nullptr) << "not an item of this page";

  // Commissions of another row's page say nothing of this one's items.
  Info other = Row();
  other.items = Items(2, "2");
  auto shifted = std::make_shared<std::vector<TaobaoSearchInfo>>(*other.items);
  (*shifted)[0].iid = "7000";
  other.items = shifted;
  std::string other_html = GbkToUtf8(BuildShopPage(other, "http://vendor/", &page));
  EXPECT_NE(other_html.find("id=\"commission-0\">佣金…<"), std::string::npos);
}

TEST(LinkDecisionTest, PassesItemsAndShops) {
  EXPECT_EQ(DecideLink("about:blank").kind, LinkDecision::kPass);
  std::string long_url = "http://iid" + std::string(100 - 11, '1') + "/";
  ASSERT_EQ(long_url.size(), 100u);
  EXPECT_EQ(DecideLink(long_url).kind, LinkDecision::kPass);
  std::string just_short = long_url.substr(0, 98) + "/";
  ASSERT_EQ(just_short.size(), 99u);
  EXPECT_EQ(DecideLink(just_short).kind, LinkDecision::kItem);

  LinkDecision item = DecideLink("http://iid123/");
  EXPECT_EQ(item.kind, LinkDecision::kItem);
  EXPECT_EQ(item.iid, "123");
  EXPECT_EQ(DecideLink("http://iid5000000001/").iid, "5000000001");

  for (const char* shop : {"http://somebody/", "http://other seller/", "http://x/", "x", ""}) {
    EXPECT_EQ(DecideLink(shop).kind, LinkDecision::kShop) << shop;
  }
}

TEST(ReferenceTablesTest, ByteExactEntries) {
  ASSERT_EQ(CreditLevels().size(), 20u);
  EXPECT_EQ(CreditLevels()[0].name, "1heart");
  EXPECT_EQ(CreditLevels()[0].badge, "b_red_1.gif");
  EXPECT_EQ(CreditLevels()[5].name, "1diamond");
  EXPECT_EQ(BadgeName(6), "s_blue_1.gif");
  EXPECT_EQ(CreditLevels()[19].name, "5goldencrown");
  EXPECT_EQ(BadgeName(20), "s_crown_5.gif");
  EXPECT_EQ(BadgeName(0), "");
  EXPECT_EQ(BadgeName(21), "");

  ASSERT_EQ(Regions().size(), 63u);
  EXPECT_EQ(Regions()[0].area, "");
  EXPECT_EQ(GbkToUtf8(Regions()[1].area), "江苏,浙江,上海");
  EXPECT_EQ(GbkToUtf8(Regions()[4].area),
            "美国,英国,法国,瑞士,澳洲,新西兰,加拿大,奥地利,韩国,日本,德国,意大利,西班牙,俄罗斯,"
            "泰国,印度,荷兰,新加坡,其它国家");
  EXPECT_EQ(GbkToUtf8(Regions()[5].item), "北京");
  EXPECT_EQ(Regions()[5].area, Regions()[5].item);
  EXPECT_EQ(GbkToUtf8(Regions()[62].item), "浙江");

  ASSERT_EQ(BuiltInCategories().size(), 55u);
  EXPECT_EQ(BuiltInCategories()[0].cid, "0");
  EXPECT_EQ(GbkToUtf8(BuiltInCategories()[0].name), "所有类目");
  EXPECT_EQ(GbkToUtf8(BuiltInCategories()[14].name), "MP3/MP4/iPod/录音笔");
  EXPECT_EQ(BuiltInCategories()[14].cid, "1201");
  EXPECT_EQ(BuiltInCategories()[54].cid, "50014811");
  ASSERT_EQ(ExcludedCategories().size(), 6u);
  for (const CatsInfo& c : BuiltInCategories()) {
    for (const std::string& excluded : ExcludedCategories()) EXPECT_NE(c.name, excluded);
  }

  ASSERT_EQ(ListColumns().size(), 4u);
  EXPECT_EQ(ListColumns()[0].width, 0);
  EXPECT_EQ(GbkToUtf8(ListColumns()[1].caption), "信用等级");
  EXPECT_EQ(ListColumns()[2].width, 121);
  EXPECT_EQ(ListColumns()[3].width, 120);
}

}  // namespace
}  // namespace vendrix
