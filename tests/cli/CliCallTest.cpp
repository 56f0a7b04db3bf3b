#include <gtest/gtest.h>

#include <ctime>
#include <map>

#include "sandbox/Gateway.h"
#include "tests/support/FakeGateway.h"
#include "tests/support/Process.h"

namespace vendrix {
namespace {

using test::FakeGateway;
using test::GatewayRequest;
using test::RunProcess;

// A vendor server and gateway in one: the configuration document, and one reply per method.
class CliCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gateway_.Serve([](const GatewayRequest& r) -> std::string {
      if (r.path == "/taoke/api.php") {
        return "<config><api><app_key>12345678</app_key><app_sec>secret</app_sec>"
               "<nick>aff</nick></api><TaobaoShop><back><desc>desc</desc></back></TaobaoShop>"
               "</config>";
      }
      const std::string& method = r.params.at("method");
      if (method == "taobao.itemcats.get") {
        return "<itemcats_get_response><item_cats><item_cat><cid>14</cid><name>数码</name>"
               "</item_cat><item_cat><cid>16</cid><name>女装</name></item_cat></item_cats>"
               "</itemcats_get_response>";
      }
      if (method == "taobao.users.get") {
        return "<users_get_response><users><user><nick>" + r.params.at("nicks") +
               "</nick><location><city>杭州</city></location><seller_credit><level>6</level>"
               "</seller_credit></user></users></users_get_response>";
      }
      if (method == "taobao.shop.get") {
        return "<shop_get_response><shop><sid>101</sid><nick>" + r.params.at("nick") +
               "</nick><desc>tab\there</desc></shop></shop_get_response>";
      }
      if (method == "taobao.taobaoke.shops.convert") {
        return "<r><taobaoke_shops><s><click_url>http://click/s" + r.params.at("sids") +
               "</click_url></s></taobaoke_shops></r>";
      }
      if (method == "taobao.items.search") {
        return "<r><item_search><items><item><iid>1</iid></item><item><iid>2</iid></item>"
               "</items></item_search><total_results>2</total_results></r>";
      }
      if (method == "taobao.taobaoke.items.get") {
        return "<r><total_results>1</total_results><taobaoke_items><i><nick>s</nick><title>"
               "&lt;span class=H&gt;t&lt;/span&gt;</title></i></taobaoke_items></r>";
      }
      if (method == "taobao.taobaoke.items.convert") {
        return "<r><total_results>1</total_results><taobaoke_items><i><iid>" +
               r.params.at("iids") + "</iid><click_url>http://click/i</click_url></i>"
               "</taobaoke_items></r>";
      }
      return "<error_response><code>22</code><msg>Invalid Method</msg></error_response>";
    });
  }

  // `vendrix-cli call ARGS`, with the extra environment `env`.
  test::ProcessResult Call(const std::vector<std::string>& args,
                           std::map<std::string, std::string> env = {}) {
    std::vector<std::string> full{"call"};
    full.insert(full.end(), args.begin(), args.end());
    env["VENDRIX_VENDOR_BASE"] = gateway_.Base() + "/";
    env["VENDRIX_GATEWAY"] = gateway_.Url();
    return RunProcess(VENDRIX_CLI, full, env);
  }

  FakeGateway gateway_;
};

TEST_F(CliCallTest, RunsEachMethodAndPrintsItsTable) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"taobao.itemcats.get"},
       "cid\tname\tstatus\tis_parent\tparent_cid\tsort_order\n14\t数码\t\t\t\t\n16\t女装\t\t\t\t\n"},
      {{"taobao.users.get", "nicks=卖家,"},
       "sex\tnick\tcity\tstate\tuser_id\tcreated\tlast_visit\tbuyer_credit.level\t"
       "buyer_credit.score\tbuyer_credit.good_num\tbuyer_credit.total_num\t"
       "seller_credit.level\tseller_credit.score\tseller_credit.good_num\t"
       "seller_credit.total_num\n\t卖家,\t杭州\t\t\t\t\t\t\t\t\t6\t\t\t\n"},
      {{"taobao.shop.get", "nick=seller"},
       "sid\tcid\tnick\tdesc\ttitle\tcreated\tbulletin\tpic_path\tmodified\n"
       "101\t\tseller\ttab here\t\t\t\t\t\n"},
      {{"taobao.taobaoke.shops.convert", "nick=aff", "sids=101"},
       "user_id\tclick_url\tshop_title\tcommission_rate\n\thttp://click/s101\t\t\n"},
      {{"taobao.items.search", "nicks=seller"},
       "iid\tnick\tcity\tcount\tstate\ttitle\ttotal\tprice\ttype\tscore\tvolume\tpic_url\t"
       "post_fee\tdelist_time\tcategory_id\n1\t\t\t\t\t\t2\t\t\t\t\t\t\t\t\n"
       "2\t\t\t\t\t\t2\t\t\t\t\t\t\t\t\n"},
      {{"taobao.taobaoke.items.get", "cid=14", "nick=aff"},
       "iid\tnick\ttitle\tprice\ttotal_results\tpic_url\tclick_url\tcommission\t"
       "commission_num\tcommission_rate\tcommission_volume\n\ts\tt\t\t1\t\t\t\t\t\t\n"},
      {{"taobao.taobaoke.items.convert", "iids=77", "nick=aff"},
       "iid\tnick\ttitle\tprice\ttotal_results\tpic_url\tclick_url\tcommission\t"
       "commission_num\tcommission_rate\tcommission_volume\n77\t\t\t\t1\t\thttp://click/i\t\t"
       "\t\t\n"},
  };
  for (const Case& c : cases) {
    auto result = Call(c.args);
    EXPECT_EQ(result.exit_code, 0) << c.args[0] << ": " << result.err;
    EXPECT_EQ(result.out, c.out) << c.args[0];
  }
  for (const auto& request : gateway_.Requests()) {
    EXPECT_EQ(request.target.find("secret"), std::string::npos) << request.target;
    if (request.path == "/router/rest") {
      EXPECT_EQ(request.params.at("app_key"), "12345678");
    }
  }
}

// The platform reads every timestamp as Beijing time and refuses one ten minutes off: whatever
// zone the machine is set to, the calls carry Beijing time. The affiliate item search keeps its
// fixed stamp.
TEST_F(CliCallTest, TimestampsAreBeijingTimeInEveryZone) {
  for (const char* zone : {"UTC0", "America/New_York", "EST5EDT,M3.2.0,M11.1.0", "CST-8",
                           "<+14>-14", "<-11>11"}) {
    auto result = Call({"taobao.itemcats.get"}, {{"TZ", zone}});
    ASSERT_EQ(result.exit_code, 0) << zone << ": " << result.err;
    const std::string stamp = gateway_.Requests().back().params.at("timestamp");
    int64_t sent = 0;
    ASSERT_TRUE(sandbox::ParseTimestamp(stamp, sent)) << stamp;
    EXPECT_NEAR(static_cast<double>(sent - std::time(nullptr)), 0, 60)
        << zone << " sent " << stamp;
  }
  auto items = Call({"taobao.taobaoke.items.get", "cid=14", "nick=aff"}, {{"TZ", "UTC0"}});
  ASSERT_EQ(items.exit_code, 0) << items.err;
  EXPECT_EQ(gateway_.Requests().back().params.at("timestamp"), "2010-01-26 12:29:01");
}

TEST_F(CliCallTest, FailuresAndBadUsage) {
  auto refused = Call({"taobao.users.get"});  // no nicks: the component refuses
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.err, "vendrix-cli: the call failed: not sent: no nicks\n");
  EXPECT_EQ(gateway_.RequestCount(), 1u) << "only the configuration was fetched";
  auto platform = Call({"taobao.itemcats.get", "method=taobao.no.such"});
  EXPECT_EQ(platform.exit_code, 1);
  EXPECT_EQ(platform.err, "vendrix-cli: the call failed: platform error 22: Invalid Method\n");

  EXPECT_EQ(Call({"taobao.no.such.method"}).exit_code, 2);
  EXPECT_EQ(Call({"taobao.users.get", "bogus=1"}).exit_code, 2);
  EXPECT_EQ(Call({"taobao.users.get", "nicks"}).exit_code, 2);
  EXPECT_EQ(Call({}).exit_code, 2);
}

}  // namespace
}  // namespace vendrix
