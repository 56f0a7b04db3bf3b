// The own account end to end: vendrix-cli against a scripted platform, with a real Secret
// Service. Each case runs in a D-Bus session of its own with gnome-keyring-daemon and an
// unlocked login keyring in a home folder of its own (tests/account/with-keyring); a keyring
// locked for the session is that home's keyring in a second session started without unlocking.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <thread>

#include "sandbox/Gateway.h"
#include "tests/support/FakeGateway.h"
#include "tests/support/Process.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::GatewayRequest;
using test::RunProcess;

// Long enough to be recognised in any encoding a file might hold it in.
constexpr const char* kOwnSecret = "own0secret0c4f1e2d9b7a";
constexpr const char* kOwnNick = "自己的小店";

std::string Base64(const std::string& bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i + 2 < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                 static_cast<unsigned char>(bytes[i + 1]) << 8 |
                 static_cast<unsigned char>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kDigits[(v >> shift) & 63];
  }
  return out;  // whole groups only: what follows is all this is used for
}

// The forms a file could hold `secret` in: plain, hexadecimal both ways, and base64 at each
// of the three offsets it can start at within a longer text.
std::vector<std::string> Encodings(const std::string& secret) {
  std::vector<std::string> forms = {secret};
  std::string lower, upper;
  for (unsigned char c : secret) {
    static const char kHex[] = "0123456789abcdef";
    lower += {kHex[c >> 4], kHex[c & 15]};
  }
  for (char c : lower) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  forms.push_back(lower);
  forms.push_back(upper);
  for (size_t lead = 0; lead < 3; ++lead) {
    // Groups that hold only bytes of the secret.
    std::string encoded = Base64(std::string(lead, 'x') + secret);
    forms.push_back(encoded.substr(lead == 0 ? 0 : 4));
  }
  return forms;
}

// A socket where a D-Bus session bus would be: it counts the connections made to it and
// closes each at once, so that a client that did connect fails quickly.
class BusProbe {
 public:
  explicit BusProbe(const std::string& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ::unlink(path.c_str());
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 8) != 0) {
      ADD_FAILURE() << "the probe cannot listen at " << path;
    }
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
          ++connections_;
          ::close(client);
        }
      }
    });
  }
  ~BusProbe() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  std::string Address() const { return "unix:path=" + path_; }
  int Connections() const { return connections_; }

 private:
  std::string path_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

class CliAccountTest : public ::testing::Test {
 protected:
  struct Vendor {
    bool readable = true;  // the configuration document answers, else 404
    bool renamed = false;  // it renames the item conversion's nick parameter to "nickname"
  };

  static std::string Document(const std::string& inner) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><r>" + inner + "</r>";
  }
  void Serve(const Vendor& vendor) {
    gateway_.Serve([vendor](const GatewayRequest& r) -> std::string {
      if (r.path == "/taoke/api.php") {
        if (!vendor.readable) return "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        return Document(
            "<api><app_key>dockey</app_key><app_sec>docsecret0</app_sec><nick>docnick</nick>"
            "</api>" +
            std::string(vendor.renamed ? "<TaobaokeConvert><name><nick>nickname</nick></name>"
                                         "</TaobaokeConvert>"
                                       : ""));
      }
      const std::string method = r.params.count("method") ? r.params.at("method") : "";
      if (method == "taobao.itemcats.get") {
        return Document("<item_cats><item_cat><cid>14</cid><name>数码相机</name></item_cat>"
                        "</item_cats>");
      }
      if (method == "taobao.taobaoke.items.get") {
        return Document("<taobaoke_items><i><nick>s0</nick></i></taobaoke_items>"
                        "<total_results>1</total_results>");
      }
      if (method == "taobao.users.get") {
        return Document("<users><u><nick>s0</nick><location><city>杭州</city><state>浙江</state>"
                        "</location><seller_credit><level>6</level></seller_credit></u></users>");
      }
      if (method == "taobao.taobaoke.items.convert") {
        return Document("<taobaoke_items><i><iid>1</iid><click_url>http://click/1</click_url>"
                        "</i></taobaoke_items><total_results>1</total_results>");
      }
      return Document("<error_response><code>22</code><msg>Invalid Method</msg></error_response>");
    });
  }

  // vendrix-cli against the scripted platform with `env` (none of the VENDRIX_APP_* variables
  // unless given), `input` on its standard input; `locked`: in a session of its own whose
  // keyring is this home's, locked.
  test::ProcessResult Cli(std::vector<std::string> args,
                          std::map<std::string, std::string> env = {},
                          const std::optional<std::string>& input = std::nullopt,
                          bool locked = false) {
    env.emplace("VENDRIX_VENDOR_BASE", gateway_.Base() + "/");
    env.emplace("VENDRIX_GATEWAY", gateway_.Url());
    for (const char* name : {"VENDRIX_APP_KEY", "VENDRIX_APP_SECRET", "VENDRIX_NICK"}) {
      env.emplace(name, "");
    }
    if (locked) {
      args.insert(args.begin(), {"--locked", VENDRIX_CLI});
      return RunProcess(VENDRIX_WITH_KEYRING, args, env, 60s, input);
    }
    return RunProcess(VENDRIX_CLI, args, env, 60s, input);
  }
  // `account set` with `secret` as the line on its standard input.
  test::ProcessResult Set(const std::string& key, const char* nick,
                          const std::string& secret = kOwnSecret) {
    std::vector<std::string> args = {"account", "set", "--app-key", key};
    if (nick != nullptr) args.insert(args.end(), {"--nick", nick});
    return Cli(args, {}, secret + "\n");
  }
  // What secret-tool (libsecret's own client) finds of Vendrix's in the keyring: the items and
  // (on its stderr) their attributes.
  static std::string KeyringItems() {
    auto found = RunProcess("/usr/bin/secret-tool",
                            {"search", "--all", "--unlock", "application", "net.vendrix.Vendrix"});
    return found.out + found.err;
  }
  static std::string Home() { return std::getenv("HOME"); }
  static std::string AccountFile() { return Home() + "/.config/vendrix/account.conf"; }

  test::FakeGateway gateway_;
};

TEST_F(CliAccountTest, EachSourceOfTheCredentialsReachesTheWire) {
  const std::map<std::string, std::string> kPair = {{"VENDRIX_APP_KEY", "envkey"},
                                                    {"VENDRIX_APP_SECRET", "envsecret0"}};
  auto with = [](std::map<std::string, std::string> env,
                 const std::map<std::string, std::string>& more) {
    env.insert(more.begin(), more.end());
    return env;
  };
  const std::vector<std::string> convert = {"convert", "item", "1"};
  const std::vector<std::string> search = {"search", "--count", "1"};
  struct Case {
    const char* name;
    Vendor vendor;
    const char* own_nick;  // nullptr: no own account; "": one without a nick
    bool secret_gone;      // the own secret taken from the keyring behind Vendrix's back
    bool locked;           // the run finds the keyring locked
    std::map<std::string, std::string> env;
    std::vector<std::string> args;
    int exit_code;
    const char* key;  // on every call to the gateway; nullptr: no call at all
    const char* secret;
    const char* nick;  // of the affiliate calls
    std::string err;   // stderr, or a part of it after "..."
  };
  const Case cases[] = {
      {"the vendor's document alone", {}, nullptr, false, false, {}, convert, 0, "dockey",
       "docsecret0", "docnick", ""},
      {"the own account over the document", {}, kOwnNick, false, false, {}, convert, 0, "ownkey",
       kOwnSecret, kOwnNick, ""},
      {"an own account without a nick: the document's nick", {}, "", false, false, {}, convert,
       0, "ownkey", kOwnSecret, "docnick", ""},
      {"the variables over the own account", {}, kOwnNick, false, false,
       with(kPair, {{"VENDRIX_NICK", "envnick"}}), convert, 0, "envkey", "envsecret0", "envnick",
       ""},
      {"VENDRIX_NICK alone", {}, kOwnNick, false, false, {{"VENDRIX_NICK", "envnick"}}, convert,
       0, "ownkey", kOwnSecret, "envnick", ""},
      {"no document: the own account, the built-in names, the whole search, nothing said",
       {.readable = false}, kOwnNick, false, false, {}, search, 0, "ownkey", kOwnSecret, kOwnNick,
       ""},
      {"no document, the variables, no nick anywhere: the built-in nick", {.readable = false},
       nullptr, false, false, kPair, convert, 0, "envkey", "envsecret0", "quillfern01", ""},
      {"the document's names with the own account's credentials", {.renamed = true}, kOwnNick,
       false, false, {}, convert, 0, "ownkey", kOwnSecret, kOwnNick, ""},
      {"an own key whose secret is gone: said, the document's pair", {}, kOwnNick, true, false,
       {}, convert, 0, "dockey", "docsecret0", kOwnNick,
       "vendrix-cli: no secret of the own account's application key ownkey is stored in the "
       "Secret Service (vendrix-cli account set)\n"},
      {"an own key in a locked keyring: said, the document's pair", {}, kOwnNick, false, true, {},
       convert, 0, "dockey", "docsecret0", kOwnNick,
       "vendrix-cli: the own account's secret could not be read: the keyring (the login "
       "collection) does not exist or is locked, and was not unlocked: no password prompt could "
       "be shown, or it was dismissed\n"},
      {"no document and no credentials", {.readable = false}, nullptr, false, false, {}, convert,
       1, nullptr, nullptr, nullptr, "...could not be read: HTTP/1.1 404 Not Found\n"},
      {"VENDRIX_APP_KEY alone", {}, kOwnNick, false, false, {{"VENDRIX_APP_KEY", "envkey"}},
       search, 2, nullptr, nullptr, nullptr,
       "...vendrix-cli: VENDRIX_APP_KEY is set but VENDRIX_APP_SECRET is not: give both, or "
       "neither\n"},
      {"VENDRIX_APP_SECRET alone", {}, nullptr, false, false,
       {{"VENDRIX_APP_SECRET", "envsecret0"}}, {"call", "taobao.users.get", "nicks=a,"}, 2,
       nullptr, nullptr, nullptr, "...VENDRIX_APP_SECRET is set but VENDRIX_APP_KEY is not"},
      {"a blank in VENDRIX_APP_KEY", {}, nullptr, false, false,
       {{"VENDRIX_APP_KEY", "env key"}, {"VENDRIX_APP_SECRET", "envsecret0"}}, convert, 2,
       nullptr, nullptr, nullptr, "...VENDRIX_APP_KEY: the application key holds blanks"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Cli({"account", "clear"}).exit_code, 0);
    Serve({});
    if (c.own_nick != nullptr) {
      auto set = Set("ownkey", *c.own_nick != '\0' ? c.own_nick : nullptr);
      ASSERT_EQ(set.exit_code, 0) << set.err;
    }
    if (c.secret_gone) {
      RunProcess("/usr/bin/secret-tool", {"clear", "application", "net.vendrix.Vendrix"});
    }
    Serve(c.vendor);
    const size_t before = gateway_.RequestCount();
    auto result = Cli(c.args, c.env, std::nullopt, c.locked);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    if (c.err.starts_with("...")) {
      EXPECT_NE(result.err.find(c.err.substr(3)), std::string::npos) << result.err;
    } else {
      EXPECT_EQ(result.err, c.err);
    }
    std::vector<GatewayRequest> calls = gateway_.Requests();
    calls.erase(calls.begin(), calls.begin() + static_cast<long>(before));
    std::erase_if(calls, [](const GatewayRequest& r) { return r.path != "/router/rest"; });
    if (c.key == nullptr) {
      EXPECT_TRUE(calls.empty()) << calls.size() << " calls, the first " << calls[0].target;
      if (c.exit_code == 2) {
        EXPECT_EQ(gateway_.RequestCount(), before) << "bad usage sends nothing at all";
      }
      continue;
    }
    ASSERT_FALSE(calls.empty());
    bool affiliate_call = false;
    for (const GatewayRequest& call : calls) {
      const std::string method = call.params.at("method");
      EXPECT_EQ(call.params.at("app_key"), c.key) << method;
      // The signature proves the secret: the platform's own rule over what arrived.
      EXPECT_EQ(call.params.at("sign"), sandbox::PlatformSignature(call.params, c.secret))
          << method;
      if (method == "taobao.taobaoke.items.get" || method == "taobao.taobaoke.items.convert") {
        affiliate_call = true;
        EXPECT_EQ(call.params.at(c.vendor.renamed ? "nickname" : "nick"), c.nick) << method;
      }
    }
    EXPECT_TRUE(affiliate_call);
  }
}

// `account set`, `show` and `clear` as a user runs them, and what they leave on the disk.
TEST_F(CliAccountTest, SetShowAndClear_TheSecretInNoFile) {
  Serve({});
  auto show = Cli({"account", "show"});
  EXPECT_EQ(show.exit_code, 0) << show.err;
  EXPECT_EQ(show.out,
            "app_key\tdockey\tvendor document\napp_sec\tset\tvendor document\n"
            "nick\tdocnick\tvendor document\nown_app_key\t\nown_app_sec\tnot stored\nown_nick\t\n");

  // Only the first line is the secret.
  auto set = Cli({"account", "set", "--app-key", "ownkey", "--nick", kOwnNick}, {},
                 std::string(kOwnSecret) + "\nsecond line\n");
  EXPECT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(set.out + set.err, "");
  show = Cli({"account", "show"});
  EXPECT_EQ(show.out, std::string("app_key\townkey\town account\napp_sec\tset\town account\n") +
                          "nick\t" + kOwnNick + "\town account\nown_app_key\townkey\n" +
                          "own_app_sec\tstored\nown_nick\t" + kOwnNick + "\n");
  EXPECT_EQ(show.out.find(kOwnSecret), std::string::npos);
  show = Cli({"account", "show"}, {{"VENDRIX_APP_KEY", "envkey"},
                                   {"VENDRIX_APP_SECRET", "envsecret0"},
                                   {"VENDRIX_NICK", "envnick"}});
  EXPECT_EQ(show.out, std::string("app_key\tenvkey\tenvironment\napp_sec\tset\tenvironment\n") +
                          "nick\tenvnick\tenvironment\nown_app_key\townkey\n" +
                          "own_app_sec\tstored\nown_nick\t" + kOwnNick + "\n");

  // The key and the nick are in the settings file, private; the secret is in no file at all.
  std::ifstream file(AccountFile());
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_NE(text.str().find("app_key=ownkey\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(std::string("nick=") + kOwnNick + "\n"), std::string::npos);
  EXPECT_EQ(fs::status(AccountFile()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Home())) {
    if (!entry.is_regular_file()) continue;
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    for (const std::string& form : Encodings(kOwnSecret)) {
      EXPECT_EQ(bytes.find(form), std::string::npos) << entry.path() << " holds " << form;
    }
  }
  EXPECT_GE(files, 2) << "the settings file and the keyring's own";
  EXPECT_NE(KeyringItems().find("app_key = ownkey"), std::string::npos) << KeyringItems();

  // Another key without --nick: the nick stays, the old key's secret goes.
  set = Set("otherkey", nullptr, "other0secret");
  EXPECT_EQ(set.exit_code, 0) << set.err;
  show = Cli({"account", "show"});
  EXPECT_NE(show.out.find(std::string("own_app_key\totherkey\nown_app_sec\tstored\nown_nick\t") +
                          kOwnNick + "\n"),
            std::string::npos)
      << show.out;
  EXPECT_EQ(KeyringItems().find("ownkey"), std::string::npos) << KeyringItems();

  auto clear = Cli({"account", "clear"});
  EXPECT_EQ(clear.exit_code, 0) << clear.err;
  EXPECT_EQ(clear.out + clear.err, "");
  EXPECT_FALSE(fs::exists(AccountFile()));
  EXPECT_EQ(KeyringItems(), "") << "the secret left the keyring";
  show = Cli({"account", "show"});
  EXPECT_NE(show.out.find("app_key\tdockey\tvendor document\n"), std::string::npos);
  EXPECT_NE(show.out.find("own_app_key\t\nown_app_sec\tnot stored\nown_nick\t\n"),
            std::string::npos);
}

// What `account set` refuses, and that a refusal stores nothing anywhere.
TEST_F(CliAccountTest, SetRefusesBadValuesAndAKeyringItCannotUse) {
  Serve({});
  const std::vector<std::string> key = {"account", "set", "--app-key", "12345678"};
  auto plus = [&](std::vector<std::string> more) {
    more.insert(more.begin(), key.begin(), key.end());
    return more;
  };
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::map<std::string, std::string> env;
    bool locked;
    int exit_code;
    std::string err_part;
  };
  const Case cases[] = {
      {{"account", "set"}, "s3cret0\n", {}, false, 2, "account set needs --app-key KEY"},
      {{"account", "set", "--app-key", ""}, "s3cret0\n", {}, false, 2,
       "the application key is empty"},
      {{"account", "set", "--app-key", "123 456"}, "s3cret0\n", {}, false, 2,
       "the application key holds blanks"},
      {{"account", "set", "--app-key", "123\x1b[2J"}, "s3cret0\n", {}, false, 2,
       "the application key holds control characters"},
      {{"account", "set", "--app-key", "123&v=1"}, "s3cret0\n", {}, false, 2,
       "the application key may hold only letters, digits and . _ ~ -"},
      {plus({"--nick", ""}), "s3cret0\n", {}, false, 2, "the nick is empty"},
      {plus({"--nick", "小\u3000店"}), "s3cret0\n", {}, false, 2, "the nick holds blanks"},
      {plus({"--nick", "a\tb"}), "s3cret0\n", {}, false, 2, "the nick holds blanks"},
      {plus({"--nick", "a\x7f"}), "s3cret0\n", {}, false, 2, "the nick holds control characters"},
      {plus({"--nick", "店😀"}), "s3cret0\n", {}, false, 2, "cannot be written in GBK"},
      {plus({"--app-secret", "s3cret0"}), "", {}, false, 2,
       "the secret is never given on the command line"},
      {key, "", {}, false, 2, "from the first line of standard input, and it was empty"},
      {key, "\nsecond\n", {}, false, 2, "it was empty"},
      {key, "s3 cret\n", {}, false, 2, "the application secret holds blanks"},
      {key, "s3cret0\n", {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}}, false, 1,
       "vendrix-cli: the own account was not stored: no Secret Service could be reached: "},
      {key, "s3cret0\n", {}, true, 1,
       "vendrix-cli: the own account was not stored: the keyring (the login collection) does "
       "not exist or is locked, and was not unlocked: no password prompt could be shown, or it "
       "was dismissed\n"},
  };
  for (const Case& c : cases) {
    auto result = Cli(c.args, c.env, c.input, c.locked);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.err_part << "\n" << result.err;
    EXPECT_NE(result.err.find(c.err_part), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.find("s3cret0"), std::string::npos) << "the secret is never printed";
  }
  EXPECT_FALSE(fs::exists(AccountFile())) << "nothing stored";
  EXPECT_EQ(KeyringItems(), "");
  EXPECT_EQ(gateway_.RequestCount(), 0u);

  // A locked keyring keeps the secret: the account is not forgotten by halves.
  ASSERT_EQ(Set("12345678", nullptr).exit_code, 0);
  auto clear = Cli({"account", "clear"}, {}, std::nullopt, true);
  EXPECT_EQ(clear.exit_code, 1);
  EXPECT_NE(clear.err.find("vendrix-cli: the own account could not be forgotten: the keyring (the "
                           "login collection) does not exist or is locked, and was not unlocked: "
                           "no password prompt could be shown, or it was dismissed; the secret "
                           "stays in it"),
            std::string::npos)
      << clear.err;
  EXPECT_TRUE(fs::exists(AccountFile()));
  EXPECT_NE(KeyringItems(), "");
}

// A locked keyring whose password prompt opens and nobody answers: `account set` and a run
// that needs the own secret, at once, each stop waiting after the keyring's time-out and say
// why; the prompt stays for the user, nothing is stored, and the keyring daemon lives on
// (with-keyring fails the run, status 99, when the daemon it started is gone).
TEST_F(CliAccountTest, APromptNobodyAnswersEndsTheRunsAndTheKeyringDaemonLivesOn) {
  Serve({});
  ASSERT_EQ(Set("12345678", kOwnNick).exit_code, 0);
  const std::string show_out = Home() + "/show.out";
  auto result = RunProcess(
      VENDRIX_WITH_KEYRING,
      {"--locked-prompt", "/bin/bash", "-c",
       "\"$0\" account show >\"$1\" 2>&1 & echo other0secret | \"$0\" account set --app-key "
       "otherkey; status=$?; wait; exit $status",
       VENDRIX_CLI, show_out},
      {{"VENDRIX_VENDOR_BASE", gateway_.Base() + "/"}, {"VENDRIX_GATEWAY", gateway_.Url()},
       {"VENDRIX_APP_KEY", ""}, {"VENDRIX_APP_SECRET", ""}, {"VENDRIX_NICK", ""}},
      110s);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  const std::string unanswered =
      "the keyring (the login collection) does not exist or is locked, and was not unlocked: "
      "nobody answered its password prompt within 30 s\n";
  EXPECT_EQ(result.err, "vendrix-cli: the own account was not stored: " + unanswered);
  std::ifstream file(show_out);
  std::stringstream show;
  show << file.rdbuf();
  EXPECT_NE(show.str().find("vendrix-cli: the own account's secret could not be read: " +
                            unanswered),
            std::string::npos)
      << show.str();
  EXPECT_NE(show.str().find("own_app_key\t12345678\nown_app_sec\tunreadable\n"),
            std::string::npos)
      << show.str();
  // Nothing stored: the account and its secret as they were.
  std::ifstream account(AccountFile());
  std::stringstream settings;
  settings << account.rdbuf();
  EXPECT_NE(settings.str().find("app_key=12345678\n"), std::string::npos) << settings.str();
  EXPECT_NE(KeyringItems().find("app_key = 12345678"), std::string::npos) << KeyringItems();
  EXPECT_EQ(KeyringItems().find("otherkey"), std::string::npos) << KeyringItems();
}

// Without an own key in the settings file no run goes near D-Bus, and nothing new is said: the
// session bus is a socket that counts who connects. An own key does connect, which shows the
// probe works.
TEST_F(CliAccountTest, NoRunTouchesDBusWithoutAnOwnKey) {
  Serve({});
  BusProbe bus(Home() + "/probe-bus");
  const std::map<std::string, std::string> env = {{"DBUS_SESSION_BUS_ADDRESS", bus.Address()}};
  auto pair = env;
  pair.insert({{"VENDRIX_APP_KEY", "envkey"}, {"VENDRIX_APP_SECRET", "envsecret0"}});
  fs::create_directories(fs::path(AccountFile()).parent_path());
  const std::vector<std::vector<std::string>> commands = {
      {"convert", "item", "1"}, {"search", "--count", "1"},
      {"categories"},           {"call", "taobao.users.get", "nicks=s0,"},
      {"account", "show"},
  };
  for (const auto* file : {"", "nick=mine\n"}) {
    if (*file != '\0') std::ofstream(AccountFile()) << file;
    for (const auto& variables : {env, pair}) {
      for (const auto& args : commands) {
        auto result = Cli(args, variables);
        EXPECT_EQ(result.err, "") << args[0] << " with '" << file << "'";
      }
    }
  }
  EXPECT_EQ(Cli({"account", "clear"}, env).exit_code, 0);
  EXPECT_FALSE(fs::exists(AccountFile()));
  EXPECT_EQ(bus.Connections(), 0);

  // The variables give the pair: the own key's keyring is not needed, and not asked.
  std::ofstream(AccountFile()) << "app_key=probekey\n";
  EXPECT_EQ(Cli({"convert", "item", "1"}, pair).err, "");
  EXPECT_EQ(bus.Connections(), 0);
  auto own = Cli({"convert", "item", "1"}, env);
  EXPECT_EQ(own.exit_code, 0) << "the document's pair stands in";
  EXPECT_NE(own.err.find("the own account's secret could not be read: no Secret Service could "
                         "be reached"),
            std::string::npos)
      << own.err;
  EXPECT_GT(bus.Connections(), 0);
  fs::remove(AccountFile());
}

// On a terminal the secret is asked for and never shown.
TEST_F(CliAccountTest, ATerminalDoesNotEchoTheSecret) {
  const std::string secret = "tty0secret0a1b2c3";
  int terminal = -1;
  pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl(VENDRIX_CLI, VENDRIX_CLI, "account", "set", "--app-key", "ttykey", nullptr);
    ::_exit(127);
  }
  // Everything the terminal shows, until the program is gone.
  std::string screen;
  auto read_until = [&](const std::function<bool()>& done) {
    for (auto until = std::chrono::steady_clock::now() + 30s;
         !done() && std::chrono::steady_clock::now() < until;) {
      pollfd p{terminal, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      ssize_t n = ::read(terminal, buffer, sizeof buffer);
      if (n <= 0) break;  // EIO: the program has closed the terminal
      screen.append(buffer, static_cast<size_t>(n));
    }
  };
  read_until([&] { return screen.find("application secret for ttykey: ") != std::string::npos; });
  ASSERT_NE(screen.find("application secret for ttykey: "), std::string::npos) << screen;
  ASSERT_EQ(::write(terminal, (secret + "\n").data(), secret.size() + 1),
            static_cast<ssize_t>(secret.size() + 1));
  read_until([] { return false; });
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(terminal);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
  EXPECT_EQ(screen.find(secret), std::string::npos) << screen;
  auto stored = RunProcess("/usr/bin/secret-tool",
                           {"lookup", "application", "net.vendrix.Vendrix", "app_key", "ttykey"});
  EXPECT_EQ(stored.out, secret) << "what was typed is what is stored";
}

}  // namespace
}  // namespace vendrix
