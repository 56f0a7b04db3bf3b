// vendrix-cli account test against sandbox processes: one that accepts the configuration's
// pair, and ones started with another key, another secret or a clock of their own.
#include <gtest/gtest.h>

#include "tests/support/Process.h"

namespace vendrix {
namespace {

using test::ChildProcess;
using test::RunProcess;

TEST(CliAccountTestTest, PrintsTheRoundTripsOrWhatToFix) {
  // The configuration document (with the sandbox's usual pair) comes from this one.
  ChildProcess vendor(VENDRIX_SANDBOX, {"--port", "0"});
  const std::string vendor_base = vendor.ReadLine();
  ASSERT_FALSE(vendor_base.empty());

  struct Case {
    std::vector<std::string> platform;  // the options of the sandbox playing the platform
    int exit_code;
    std::vector<std::string> out;  // the lines of stdout, each up to its round trip
    std::string err;               // what stderr says, in part
  };
  const std::string account = "app_key 21000001, nick 淘客联盟小助手";
  const std::string cats = "The category call (taobao.itemcats.get) went through: ";
  const Case cases[] = {
      {{},
       0,
       {account, cats + "57 categories, round trip ",
        "The affiliate item search (taobao.taobaoke.items.get) went through: click addresses "
        "come back for 淘客联盟小助手, round trip "},
       ""},
      {{"--app-key", "30000002", "--app-secret", "other"},
       1,
       {account},
       "does not know this application key (code 29: Invalid App Key)"},
      {{"--app-secret", "not-the-keys-secret"},
       1,
       {account},
       "the application secret does not belong to the application key"},
      {{"--clock-offset", "840"},
       1,
       {account},
       "Your computer's clock is 14 minutes behind Beijing time."},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--port", "0"};
    args.insert(args.end(), c.platform.begin(), c.platform.end());
    ChildProcess platform(VENDRIX_SANDBOX, args);
    const std::string base = platform.ReadLine();
    ASSERT_FALSE(base.empty());
    auto result = RunProcess(VENDRIX_CLI, {"account", "test"},
                             {{"VENDRIX_VENDOR_BASE", vendor_base},
                              {"VENDRIX_GATEWAY", base + "router/rest"}});
    const std::string name = c.platform.empty() ? "the same pair" : c.platform[0];
    EXPECT_EQ(result.exit_code, c.exit_code) << name << "\n" << result.err;
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = result.out.find('\n', start)) != std::string::npos;
         start = end + 1) {
      lines.push_back(result.out.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), c.out.size()) << name << "\n" << result.out;
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(lines[i].starts_with(c.out[i])) << name << "\n" << lines[i];
      EXPECT_EQ(lines[i].ends_with(" ms"), i > 0) << lines[i];
    }
    if (c.err.empty()) {
      EXPECT_EQ(result.err, "") << name;
    } else {
      EXPECT_TRUE(result.err.starts_with(
          "vendrix-cli: the category call (taobao.itemcats.get) failed after "))
          << name << "\n" << result.err;
      EXPECT_NE(result.err.find(c.err), std::string::npos) << name << "\n" << result.err;
    }
  }
}

}  // namespace
}  // namespace vendrix
