// The affiliate's commands beyond the seller search (filters, a shop's items with their
// affiliate addresses, copied addresses) end to end against an in-process sandbox, checked
// against the sandbox's own marketplace.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <ranges>
#include <set>

#include "sandbox/Sandbox.h"
#include "tests/support/Process.h"

namespace vendrix {
namespace {

using sandbox::Item;
using sandbox::Seller;
using test::RunProcess;
using test::TsvRows;

class CliAffiliateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    log_ = ::testing::TempDir() + "/cli-affiliate-" + std::to_string(getpid()) + ".log";
    sandbox_ = std::make_unique<sandbox::Sandbox>(
        sandbox::SandboxOptions{.seed = 5, .log_path = log_, .reverse_conversions = true});
    sandbox_->Start();
  }
  static void TearDownTestSuite() { sandbox_.reset(); }
  static test::ProcessResult Cli(const std::vector<std::string>& args) {
    return RunProcess(VENDRIX_CLI, args, test::SandboxEnvironment(sandbox_->Base()));
  }
  // The API methods the sandbox was asked for while `run` ran, in order.
  static std::vector<std::string> MethodsDuring(const std::function<void()>& run) {
    auto log = [] {
      std::ifstream file(log_);
      return TsvRows(std::string(std::istreambuf_iterator<char>(file), {}));
    };
    size_t before = log().size();
    run();
    std::vector<std::vector<std::string>> after = log();
    std::vector<std::string> methods;
    for (size_t i = before; i < after.size(); ++i) {
      const std::vector<std::string>& f = after[i];
      methods.push_back(f.size() > 4 && f[3] == "/router/rest" ? f[4] : f[3]);
    }
    return methods;
  }
  static const sandbox::Marketplace& Market() { return sandbox_->Market(); }

  static inline std::unique_ptr<sandbox::Sandbox> sandbox_;
  static inline std::string log_;
};

// Each filter narrows the sellers to those with an item that meets it, as many as there are.
TEST_F(CliAffiliateTest, EachFilterNarrowsTheSellersAsTheMarketplaceSays) {
  struct Case {
    std::vector<std::string> filter;
    std::function<bool(const Item&)> meets;
  };
  auto price = [](const Item& i) { return std::stod(i.price); };
  auto rate = [](const Item& i) { return std::stod(i.commission_rate); };
  auto offered = [](const Item& i) { return Market().Sellers()[i.seller].affiliate; };
  const Case cases[] = {
      // The blanks around it dropped, the keyword goes out; blanks alone are no keyword.
      {{"--keyword", " \t冲钻\u3000"},
       [](const Item& i) { return i.title.find("冲钻") != std::string::npos; }},
      {{"--keyword", "\u3000 "}, [](const Item&) { return true; }},
      {{"--commission-rate", "10-10.05"},
       [&](const Item& i) { return rate(i) >= 1000 && rate(i) <= 1005; }},
      {{"--price", "1.5-200", "--keyword", "包邮", "--sort", "price_asc"},
       [&](const Item& i) {
         return price(i) >= 1.5 && price(i) <= 200 && i.title.find("包邮") != std::string::npos;
       }},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"search", "--count", "120"};
    args.insert(args.end(), c.filter.begin(), c.filter.end());
    std::set<std::string> expected;
    for (const Item& item : Market().Items()) {
      if (offered(item) && c.meets(item)) expected.insert(Market().Sellers()[item.seller].nick);
    }
    SCOPED_TRACE(c.filter[0] + " " + c.filter[1]);
    auto result = Cli(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    auto rows = TsvRows(result.out);
    EXPECT_EQ(rows.size(), std::min<size_t>(expected.size(), 120));
    for (const auto& row : rows) EXPECT_TRUE(expected.count(row[0])) << row[0];
  }

  // An order reaches the platform: the seller of the dearest item comes first.
  auto offers = Market().Items() | std::views::filter(offered);
  const Item dearest = std::ranges::max(offers, {}, price);
  auto sorted = Cli({"search", "--count", "3", "--sort", "price_desc"});
  ASSERT_EQ(sorted.exit_code, 0) << sorted.err;
  EXPECT_EQ(TsvRows(sorted.out)[0][0], Market().Sellers()[dearest.seller].nick);
}

TEST_F(CliAffiliateTest, ItemsTakeOneSearchAndAConversionPerFiftyMatchedById) {
  const Seller* big = nullptr;
  const Seller* outsider = nullptr;
  for (const Seller& s : Market().Sellers()) {
    if (s.affiliate && s.items.size() >= 60 && !big) big = &s;
    if (!s.affiliate && !s.items.empty() && !outsider) outsider = &s;
  }
  ASSERT_TRUE(big && outsider);
  test::ProcessResult result;
  std::vector<std::string> methods = MethodsDuring([&] { result = Cli({"items", big->nick}); });
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(methods, (std::vector<std::string>{"/taoke/api.php", "taobao.items.search",
                                               "taobao.taobaoke.items.convert",
                                               "taobao.taobaoke.items.convert"}))
      << "the configuration, then only the calls named";
  auto rows = TsvRows(result.out);
  ASSERT_EQ(rows.size(), 61u) << "the header and 60 items";
  for (size_t i = 1; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 6u);
    const Item* item = Market().ItemByIid(rows[i][0]);
    ASSERT_NE(item, nullptr);
    // The sandbox answers each batch in reverse: only matching by id puts these together.
    EXPECT_EQ(rows[i][3], item->commission_rate);
    EXPECT_EQ(rows[i][4], item->commission);
    EXPECT_NE(rows[i][5].find("iid=" + item->iid + "&"), std::string::npos) << rows[i][5];
  }

  // Items the platform does not convert are listed all the same, without affiliate fields.
  auto outside = Cli({"items", outsider->nick, "--count", "2", "--format", "json"});
  ASSERT_EQ(outside.exit_code, 0) << outside.err;
  EXPECT_NE(outside.out.find("\"commission_rate\":\"\",\"commission\":\"\",\"click_url\":\"\""),
            std::string::npos)
      << outside.out;
}

// The shop page says under each price what the item pays, from the same conversions: 50 ids a
// call, the rows matched by id (the sandbox answers each call backwards).
TEST_F(CliAffiliateTest, ShopPageSaysWhatEachItemPays) {
  const Seller* big = nullptr;
  const Seller* outsider = nullptr;
  for (const Seller& s : Market().Sellers()) {
    if (s.affiliate && s.items.size() >= 60 && !big) big = &s;
    if (!s.affiliate && !s.items.empty() && !outsider) outsider = &s;
  }
  ASSERT_TRUE(big && outsider);
  // The line of each item block: its id, and what its line says.
  auto lines = [](const std::string& page) {
    std::vector<std::pair<std::string, std::string>> found;
    for (size_t at = page.find("class=\"mydiv\""); at != std::string::npos;
         at = page.find("class=\"mydiv\"", at + 1)) {
      size_t iid = page.find("http://iid", at) + 10;
      size_t line = page.find("class=\"commission\"", at);
      line = page.find('>', line) + 1;
      found.emplace_back(page.substr(iid, page.find('/', iid) - iid),
                         page.substr(line, page.find("</div>", line) - line));
    }
    return found;
  };

  test::ProcessResult result;
  std::vector<std::string> methods = MethodsDuring([&] { result = Cli({"shop", big->nick}); });
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(std::count(methods.begin(), methods.end(), "taobao.taobaoke.items.convert"), 2)
      << "60 items, two calls";
  auto shown = lines(result.out);
  ASSERT_EQ(shown.size(), 60u);
  for (const auto& [iid, line] : shown) {
    const Item* item = Market().ItemByIid(iid);
    ASSERT_NE(item, nullptr) << iid;
    int rate = std::stoi(item->commission_rate);
    char percent[16];
    std::snprintf(percent, sizeof percent, "%d.%02d%%", rate / 100, rate % 100);
    EXPECT_EQ(line, std::string("佣金 ") + percent + " · ￥" + item->commission) << iid;
  }

  auto outside = Cli({"shop", outsider->nick});
  ASSERT_EQ(outside.exit_code, 0) << outside.err;
  shown = lines(outside.out);
  ASSERT_FALSE(shown.empty());
  for (const auto& [iid, line] : shown) EXPECT_EQ(line, "无佣金") << iid;
}

TEST_F(CliAffiliateTest, CopiedAddressesConvertByTheirForm) {
  const Item& item = Market().Items()[10];
  const Seller& seller = Market().Sellers()[item.seller];
  const std::string forms = "understands an item page";
  const std::string short_link = "cannot read a short share link";
  struct Case {
    std::string address;
    int exit_code;
    std::string says;  // a part of stdout when converted, of stderr when refused
  };
  const Case cases[] = {
      {"https://item.taobao.com/item.htm?spm=a1z10&id=" + item.iid, 0, "kind=item&iid=" + item.iid},
      {"https://detail.tmall.com/item.htm?id=" + item.iid + "&skuId=1", 0, "iid=" + item.iid},
      {"HTTP://Item.TaoBao.COM/item.htm?id=" + item.iid + "#reviews", 0, "iid=" + item.iid},
      {"https://taobao.com/item.htm?id=" + item.iid, 0, "iid=" + item.iid},
      {"https://h5.m.taobao.com/awp/core/detail.htm?id=" + item.iid, 0, "iid=" + item.iid},
      {"https://detail.m.tmall.com/detail.html?id=" + item.iid, 0, "iid=" + item.iid},
      {"https://a.m.taobao.com/i" + item.iid + ".htm", 0, "iid=" + item.iid},
      {"https://item.taobao.com./item.htm?id=" + item.iid, 0, "iid=" + item.iid},
      {"https://item.taobao.com:443/item.htm?id=" + item.iid, 0, "iid=" + item.iid},
      {"http://shop" + seller.sid + ".taobao.com/", 0, "kind=shop&sid=" + seller.sid},
      // Any address on a shop's host is the shop, whatever id its query holds.
      {"http://shop" + seller.sid + ".taobao.com/search.htm?id=" + item.iid, 0,
       "kind=shop&sid=" + seller.sid},
      {" \thttps://item.taobao.com/item.htm?id=" + item.iid + "\r\n", 0, "iid=" + item.iid},
      {"https://item.taobao.com/item.htm?id=1", 1, ""},  // not an item of the platform's
      {"https://eviltaobao.com/item.htm?id=" + item.iid, 2, forms},
      {"https://item.taobao.com.evil.cn/item.htm?id=" + item.iid, 2, forms},
      {"https://item.taobao.com../item.htm?id=" + item.iid, 2, forms},
      // A browser takes the host to end at the backslash, or to start after the "@".
      {"https://evil.example\\@item.taobao.com/item.htm?id=" + item.iid, 2, forms},
      {"https://item.taobao.com@evil.example/item.htm?id=" + item.iid, 2, forms},
      {"https://s.taobao.com/search?q=x&id=" + item.iid, 2, forms},  // a search, no item
      {"https://item.taobao.com/item.htm?xid=" + item.iid, 2, forms},
      {"https://item.taobao.com/item.htm?id=12a", 2, forms},
      {"https://item.taobao.com/item.htm?id=" + item.iid + "%20", 2, forms},
      {"ftp://item.taobao.com/item.htm?id=" + item.iid, 2, forms},
      {"http://shop.taobao.com/", 2, forms},
      {"https://m.tb.cn/h.5Ab2Cd?sm=1", 2, short_link},
      {"https://s.click.taobao.com/t?e=m%3D2", 2, short_link},
  };
  for (const Case& c : cases) {
    test::ProcessResult result;
    auto methods = MethodsDuring([&] { result = Cli({"convert", "address", c.address}); });
    EXPECT_EQ(result.exit_code, c.exit_code) << c.address << "\n" << result.err;
    if (c.exit_code == 0) {
      EXPECT_NE(result.out.find(c.says), std::string::npos) << c.address << ": " << result.out;
      EXPECT_EQ(methods.size(), 2u) << "the configuration and the conversion, no more";
    }
    if (c.exit_code == 2) {
      EXPECT_NE(result.err.find(c.says), std::string::npos) << c.address << ": " << result.err;
      EXPECT_TRUE(methods.empty()) << c.address;
    }
  }
}

}  // namespace
}  // namespace vendrix
