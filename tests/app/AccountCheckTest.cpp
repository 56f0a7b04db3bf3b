// The account test against the platform's refusals: the sandbox's own (a key it does not know,
// a secret that is not the key's, a clock off Beijing time) and scripted ones (the call limits,
// a missing permission, anything else), with what each tells the user in both languages.
#include "app/AccountCheck.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "app/ShopFinder.h"
#include "platform/CodePage.h"
#include "sandbox/ConfigDocument.h"
#include "sandbox/Sandbox.h"
#include "tests/support/FakeGateway.h"

namespace vendrix {
namespace {

using test::FakeGateway;
using test::GatewayRequest;

constexpr const char* kCategories =
    "<itemcats_get_response><item_cats><item_cat><cid>14</cid><name>数码相机</name></item_cat>"
    "<item_cat><cid>16</cid><name>女装</name></item_cat></item_cats></itemcats_get_response>";
constexpr const char* kOneItem =
    "<taobaoke_items_get_response><taobaoke_items><taobaoke_item><iid>1</iid><nick>s</nick>"
    "<click_url>http://s.click.test/t?e=1</click_url></taobaoke_item></taobaoke_items>"
    "<total_results>1</total_results></taobaoke_items_get_response>";

std::string Refusal(const std::string& inner) {
  return "<error_response>" + inner + "</error_response>";
}

struct AccountCase {
  const char* name;
  // When set, a sandbox with these options is the platform; otherwise the scripted gateway
  // answers the category call with `cats` and the affiliate item search with `items`.
  std::optional<sandbox::SandboxOptions> platform;
  int failed_step = 0;  // the step that fails; -1: both calls go through
  std::string cats = kCategories;
  std::string items = kOneItem;
  std::vector<std::string> english;  // what the English advice says, in part; none: it passes
  std::vector<std::string> chinese;
  bool unreachable = false;  // the gateway's port refuses connections
  std::string config;        // another configuration document than the sandbox's pair
};

const AccountCase kAccountCases[] = {
    {.name = "WorksAgainstTheSandbox", .platform = sandbox::SandboxOptions{}, .failed_step = -1},
    {.name = "UnknownKeyIs29",
     .platform = sandbox::SandboxOptions{.app_key = "30000002", .app_secret = "other"},
     .english = {"does not know this application key (code 29: Invalid App Key)",
                 "Enter the App Key"},
     .chinese = {"开放平台不认识这个 App Key（错误码 29：Invalid App Key）"}},
    {.name = "WrongSecretIs25",
     .platform = sandbox::SandboxOptions{.app_secret = "not the key's secret"},
     .english = {"refused the signature (code 25: Invalid Signature)",
                 "the application secret does not belong to the application key"},
     .chinese = {"App Secret 与 App Key 不匹配"}},
    {.name = "ClockBehindIs31WithTheOffset",
     .platform = sandbox::SandboxOptions{.clock_offset = 14 * 60},
     .english = {"(code 31: Invalid Timestamp)", "within ten minutes of Beijing time",
                 "Your computer's clock is 14 minutes behind Beijing time.",
                 "timedatectl set-ntp true"},
     .chinese = {"您的电脑时钟比北京时间慢14分钟。"}},
    {.name = "ClockAheadIs31WithTheOffset",
     .platform = sandbox::SandboxOptions{.clock_offset = -(8 * 3600 + 20 * 60)},
     .english = {"Your computer's clock is 8 hours 20 minutes ahead of Beijing time."},
     .chinese = {"您的电脑时钟比北京时间快8小时20分钟。"}},
    {.name = "ClockWithoutADateIs31",
     .cats = Refusal("<code>31</code><msg>Invalid Timestamp</msg>"),
     .english = {"(code 31: Invalid Timestamp)", "Check the computer's date and time"},
     .chinese = {"请检查电脑的日期和时间并校准"}},
    {.name = "CallLimitIs7WithTheEndOfTheBan",
     .cats = Refusal("<code>7</code><msg>App Call Limited</msg><sub_code>accesscontrol.limited-"
                     "by-app-access-count</sub_code><sub_msg>This ban will last for 71 more "
                     "seconds</sub_msg>"),
     .english = {"reached its call limit (code 7: App Call Limited",
                 "The ban ends in 1 minute 11 seconds; try again then."},
     .chinese = {"调用次数已达上限", "限制将在1分钟11秒后解除"}},
    {.name = "FrequencyIs8WithoutTheEnd",
     .cats = Refusal("<code>8</code><msg>App Call Exceeds Limited Frequency</msg>"),
     .english = {"calling too often (code 8: App Call Exceeds Limited Frequency)",
                 "Try again later, with fewer searches at a time."},
     .chinese = {"应用调用过于频繁", "请稍后再试，并减少同时进行的搜索。"}},
    {.name = "PermissionIs11OnTheAffiliateSearch", .failed_step = 1,
     .items = Refusal("<code>11</code><msg>Insufficient ISV Permissions</msg>"),
     .english = {"lacks the permission for taobao.taobaoke.items.get (code 11: Insufficient "
                 "ISV Permissions)"},
     .chinese = {"应用没有调用 taobao.taobaoke.items.get 的权限"}},
    {.name = "OtherCodesSayThePlatformsWords",
     .cats = Refusal("<code>15</code><msg>Remote service error</msg><sub_code>isp.x</sub_code>"
                     "<sub_msg>backend down</sub_msg>"),
     .english = {"The platform refused taobao.itemcats.get with code 15: Remote service error "
                 "(backend down)."},
     .chinese = {"错误码 15：Remote service error（backend down）"}},
    {.name = "HttpErrorStatus", .cats = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n",
     .english = {"an HTTP error instead of the platform's reply: HTTP/1.1 502 Bad Gateway."},
     .chinese = {"HTTP 错误：HTTP/1.1 502 Bad Gateway"}},
    {.name = "UnreadableReply", .cats = "<html>oops",
     .english = {"The platform's reply could not be read"}, .chinese = {"无法读取开放平台的回复"}},
    {.name = "NoAnswer",
     .english = {"No answer from the platform's gateway: Socket Error # 111 Connection refused. "
                 "Check the network connection"},
     .chinese = {"开放平台网关没有回应"},
     .unreachable = true},
    {.name = "NoCredentials",
     .english = {"Nothing was sent: no application key or secret is set."},
     .chinese = {"未发送请求：没有设置 App Key 和 App Secret。"},
     .config = "<vendrix><api><nick>淘客联盟小助手</nick></api></vendrix>"},
    {.name = "NoClickAddressForTheNick", .failed_step = -1,
     .items = "<r><taobaoke_items><i><iid>1</iid><nick>s</nick></i></taobaoke_items>"
              "<total_results>1</total_results></r>",
     .english = {"no click address came back for the nick 淘客联盟小助手",
                 "only to the nick of a Taobao affiliate"},
     .chinese = {"昵称“淘客联盟小助手”没有得到推广链接"}},
    {.name = "NoItemToTell", .failed_step = -1,
     .items = "<r><total_results>0</total_results></r>",
     .english = {"found no item, so it cannot show whether click addresses come back"},
     .chinese = {"没有找到商品"}},
};

// The case's name where gtest and ctest name the case, not its bytes.
void PrintTo(const AccountCase& c, std::ostream* out) { *out << c.name; }

class AccountCheckTest : public ::testing::TestWithParam<AccountCase> {};

TEST_P(AccountCheckTest, SaysWhatToFix) {
  const AccountCase& c = GetParam();
  FakeGateway gateway;
  gateway.Serve([&c](const GatewayRequest& r) -> std::string {
    if (r.path == "/taoke/api.php") {
      return c.config.empty()
                 ? sandbox::ConfigDocument(false, "", sandbox::sandbox_credentials::kAppKey,
                                           sandbox::sandbox_credentials::kAppSecret)
                 : c.config;
    }
    return r.params.at("method") == "taobao.itemcats.get" ? c.cats : c.items;
  });
  std::unique_ptr<sandbox::Sandbox> platform;
  Settings settings;
  settings.VendorBase = gateway.Base() + "/";
  settings.Gateway = c.unreachable ? "http://127.0.0.1:1/router/rest" : gateway.Url();
  if (c.platform) {
    platform = std::make_unique<sandbox::Sandbox>(*c.platform);
    platform->Start();
    settings.Gateway = platform->Base() + "router/rest";
  }

  ShopFinder finder(settings);
  ASSERT_TRUE(finder.LoadConfiguration());
  AccountCheckOutcome outcome = CheckAccount(finder);
  EXPECT_EQ(outcome.Passed(), c.english.empty());
  const AccountCheckStep* failed = outcome.Failed();
  ASSERT_EQ(failed == nullptr ? -1 : failed - outcome.steps.data(), c.failed_step);
  ASSERT_EQ(outcome.steps.size(), c.failed_step == 0 ? 1u : 2u) << "the first failure ends it";
  // The item search asks for the click address with the nick searches use.
  for (const GatewayRequest& r : gateway.Requests()) {
    if (r.path != "/router/rest" || r.params.at("method") != "taobao.taobaoke.items.get") continue;
    EXPECT_EQ(r.params.at("nick"), "淘客联盟小助手");
    EXPECT_NE(r.params.at("fields").find("click_url"), std::string::npos);
  }
  if (c.english.empty()) {
    EXPECT_GT(outcome.categories, 0);
    EXPECT_EQ(outcome.items, 1);
    return;
  }

  AccountAdvice advice =
      failed != nullptr ? ExplainAccountFailure(failed->failure, failed->method)
                        : ExplainMissingClickAddresses(GbkToUtf8(finder.DefaultNick()),
                                                       outcome.items);
  for (const std::string& part : c.english) {
    EXPECT_NE(advice.english.find(part), std::string::npos) << advice.english;
  }
  for (const std::string& part : c.chinese) {
    EXPECT_NE(advice.chinese.find(part), std::string::npos) << advice.chinese;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AccountCheckTest, ::testing::ValuesIn(kAccountCases),
                         [](const ::testing::TestParamInfo<AccountCase>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
}  // namespace vendrix
