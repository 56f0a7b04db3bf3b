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
#include <fstream>
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

// The forms a file could hold `secret` in: plain, hexadecimal both ways, and base64 at each
// of the three offsets it can start at within a longer text (the groups of the secret alone).
std::vector<std::string> Encodings(const std::string& secret) {
  static const char kBase64[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::string> forms = {secret, "", ""};
  for (unsigned char c : secret) {
    forms[1] += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    forms[2] += {"0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
  }
  for (size_t lead = 0; lead < 3; ++lead) {
    const std::string bytes = std::string(lead, 'x') + secret;
    std::string encoded;
    for (size_t i = 0; i + 2 < bytes.size(); i += 3) {
      unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                   static_cast<unsigned char>(bytes[i + 1]) << 8 |
                   static_cast<unsigned char>(bytes[i + 2]);
      for (int shift : {18, 12, 6, 0}) encoded += kBase64[(v >> shift) & 63];
    }
    forms.push_back(encoded.substr(lead == 0 ? 0 : 4));
  }
  return forms;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// A socket where a D-Bus session bus would be: it counts the connections made to it and
// closes each at once, so that a client that did connect fails quickly.
struct BusProbe {
  explicit BusProbe(const std::string& path) : address("unix:path=" + path) {
    sockaddr_un name{.sun_family = AF_UNIX, .sun_path = {}};
    path.copy(name.sun_path, sizeof name.sun_path - 1);
    EXPECT_TRUE(::bind(fd, reinterpret_cast<sockaddr*>(&name), sizeof name) == 0 &&
                ::listen(fd, 8) == 0)
        << "the probe cannot listen at " << path;
  }
  ~BusProbe() {
    thread.request_stop();
    thread.join();
    ::close(fd);
  }
  const std::string address;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::atomic<int> connections{0};
  std::jthread thread{[this](std::stop_token stop) {
    for (pollfd p{fd, POLLIN, 0}; !stop.stop_requested();) {
      if (::poll(&p, 1, 50) <= 0) continue;
      if (int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); client >= 0) {
        ++connections;
        ::close(client);
      }
    }
  }};
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
      static const std::map<std::string, std::string> kReplies = {
          {"taobao.itemcats.get",
           "<item_cats><item_cat><cid>14</cid><name>数码相机</name></item_cat></item_cats>"},
          {"taobao.taobaoke.items.get",
           "<taobaoke_items><i><nick>s0</nick></i></taobaoke_items><total_results>1"
           "</total_results>"},
          {"taobao.users.get",
           "<users><u><nick>s0</nick><location><city>杭州</city><state>浙江</state></location>"
           "<seller_credit><level>6</level></seller_credit></u></users>"},
          {"taobao.taobaoke.items.convert",
           "<taobaoke_items><i><iid>1</iid><click_url>http://click/1</click_url></i>"
           "</taobaoke_items><total_results>1</total_results>"}};
      const auto method = r.params.find("method");
      if (method != r.params.end() && kReplies.count(method->second)) {
        return Document(kReplies.at(method->second));
      }
      return Document("<error_response><code>22</code><msg>Invalid Method</msg></error_response>");
    });
  }

  // The scripted platform, and none of the VENDRIX_APP_* variables unless `env` gives them.
  std::map<std::string, std::string> Env(std::map<std::string, std::string> env = {}) {
    env.emplace("VENDRIX_VENDOR_BASE", gateway_.Base() + "/");
    env.emplace("VENDRIX_GATEWAY", gateway_.Url());
    for (const char* name : {"VENDRIX_APP_KEY", "VENDRIX_APP_SECRET", "VENDRIX_NICK"}) {
      env.emplace(name, "");
    }
    return env;
  }
  // vendrix-cli with Env(`env`), `input` on its standard input; `locked`: in a session of its
  // own whose keyring is this home's, locked.
  test::ProcessResult Cli(std::vector<std::string> args,
                          const std::map<std::string, std::string>& env = {},
                          const std::optional<std::string>& input = std::nullopt,
                          bool locked = false) {
    if (locked) {
      args.insert(args.begin(), {"--locked", VENDRIX_CLI});
      return RunProcess(VENDRIX_WITH_KEYRING, args, Env(env), 60s, input);
    }
    return RunProcess(VENDRIX_CLI, args, Env(env), 60s, input);
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
  const std::vector<std::string> convert = {"convert", "item", "1"};
  const std::vector<std::string> search = {"search", "--count", "1"};
  // The own account before the run: ownkey with its secret, and the nick kOwnNick or none.
  enum Own { kNone, kOwn, kOwnWithoutNick, kOwnSecretGone, kOwnLocked };
  struct Case {
    const char* name;
    Vendor vendor;
    Own own;
    std::map<std::string, std::string> env;
    std::vector<std::string> args;
    int exit_code;
    const char* key;  // on every call to the gateway; nullptr: no call at all
    const char* secret;
    const char* nick;  // of the affiliate calls
    std::string err;   // stderr, or a part of it after "..."
  };
  const Case cases[] = {
      {"the vendor's document alone", {}, kNone, {}, convert, 0, "dockey", "docsecret0",
       "docnick", ""},
      {"the own account over the document", {}, kOwn, {}, convert, 0, "ownkey", kOwnSecret,
       kOwnNick, ""},
      {"an own account without a nick: the document's nick", {}, kOwnWithoutNick, {}, convert, 0,
       "ownkey", kOwnSecret, "docnick", ""},
      {"the variables over the own account", {}, kOwn,
       {{"VENDRIX_APP_KEY", "envkey"}, {"VENDRIX_APP_SECRET", "envsecret0"},
        {"VENDRIX_NICK", "envnick"}},
       convert, 0, "envkey", "envsecret0", "envnick", ""},
      {"VENDRIX_NICK alone", {}, kOwn, {{"VENDRIX_NICK", "envnick"}}, convert, 0, "ownkey",
       kOwnSecret, "envnick", ""},
      {"no document: the own account, the built-in names, the whole search, nothing said",
       {.readable = false}, kOwn, {}, search, 0, "ownkey", kOwnSecret, kOwnNick, ""},
      {"no document, the variables, no nick anywhere: the built-in nick", {.readable = false},
       kNone, kPair, convert, 0, "envkey", "envsecret0", "quillfern01", ""},
      {"the document's names with the own account's credentials", {.renamed = true}, kOwn, {},
       convert, 0, "ownkey", kOwnSecret, kOwnNick, ""},
      {"an own key whose secret is gone: said, the document's pair", {}, kOwnSecretGone, {},
       convert, 0, "dockey", "docsecret0", kOwnNick,
       "vendrix-cli: no secret of the own account's application key ownkey is stored in the "
       "Secret Service (vendrix-cli account set)\n"},
      {"an own key in a locked keyring: said, the document's pair", {}, kOwnLocked, {}, convert,
       0, "dockey", "docsecret0", kOwnNick,
       "vendrix-cli: the own account's secret could not be read: the keyring (the login "
       "collection) does not exist or is locked, and was not unlocked: no password prompt could "
       "be shown, or it was dismissed\n"},
      {"no document and no credentials", {.readable = false}, kNone, {}, convert, 1, nullptr,
       nullptr, nullptr, "...could not be read: HTTP/1.1 404 Not Found\n"},
      {"VENDRIX_APP_KEY alone", {}, kOwn, {{"VENDRIX_APP_KEY", "envkey"}}, search, 2, nullptr,
       nullptr, nullptr,
       "...vendrix-cli: VENDRIX_APP_KEY is set but VENDRIX_APP_SECRET is not: give both, or "
       "neither\n"},
      {"VENDRIX_APP_SECRET alone", {}, kNone, {{"VENDRIX_APP_SECRET", "envsecret0"}},
       {"call", "taobao.users.get", "nicks=a,"}, 2, nullptr, nullptr, nullptr,
       "...VENDRIX_APP_SECRET is set but VENDRIX_APP_KEY is not"},
      {"a blank in VENDRIX_APP_KEY, saving an item", {}, kNone,
       {{"VENDRIX_APP_KEY", "env key"}, {"VENDRIX_APP_SECRET", "envsecret0"}},
       {"saved", "add", "item", "5000000385"}, 2,
       nullptr, nullptr, nullptr, "...VENDRIX_APP_KEY: the application key holds blanks"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Cli({"account", "clear"}).exit_code, 0);
    Serve({});
    if (c.own != kNone) {
      auto set = Set("ownkey", c.own == kOwnWithoutNick ? nullptr : kOwnNick);
      ASSERT_EQ(set.exit_code, 0) << set.err;
    }
    if (c.own == kOwnSecretGone) {
      RunProcess("/usr/bin/secret-tool", {"clear", "application", "net.vendrix.Vendrix"});
    }
    Serve(c.vendor);
    const size_t before = gateway_.RequestCount();
    auto result = Cli(c.args, c.env, std::nullopt, c.own == kOwnLocked);
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

  // The key and the nick are in the settings file, private; the secret is in no file at all.
  const std::string text = ReadFile(AccountFile());
  EXPECT_NE(text.find("app_key=ownkey\n"), std::string::npos) << text;
  EXPECT_NE(text.find(std::string("nick=") + kOwnNick + "\n"), std::string::npos);
  EXPECT_EQ(fs::status(AccountFile()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Home())) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const std::string bytes = ReadFile(entry.path());
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
    std::string err_part;
    std::string input = "s3cret0\n";
    int exit_code = 2;
    std::map<std::string, std::string> env = {};
    bool locked = false;
  };
  const Case cases[] = {
      {{"account", "set"}, "account set needs --app-key KEY"},
      {{"account", "set", "--app-key", ""}, "the application key is empty"},
      {{"account", "set", "--app-key", "123 456"}, "the application key holds blanks"},
      {{"account", "set", "--app-key", "123\x1b[2J"}, "the application key holds control characters"},
      {{"account", "set", "--app-key", "123&v=1"},
       "the application key may hold only letters, digits and . _ ~ -"},
      {plus({"--nick", ""}), "the nick is empty"},
      {plus({"--nick", "小\u3000店"}), "the nick holds blanks"},
      {plus({"--nick", "a\x7f"}), "the nick holds control characters"},
      {plus({"--nick", "店😀"}), "cannot be written in GBK"},
      {plus({"--app-secret", "s3cret0"}), "the secret is never given on the command line", ""},
      {key, "from the first line of standard input, and it was empty", ""},
      {key, "it was empty", "\nsecond\n"},
      {key, "the application secret holds blanks", "s3 cret\n"},
      {key, "vendrix-cli: the own account was not stored: no Secret Service could be reached: ",
       "s3cret0\n", 1, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}}},
      {key,
       "vendrix-cli: the own account was not stored: the keyring (the login collection) does "
       "not exist or is locked, and was not unlocked: no password prompt could be shown, or it "
       "was dismissed\n",
       "s3cret0\n", 1, {}, true},
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
      Env(), 110s);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  const std::string unanswered =
      "the keyring (the login collection) does not exist or is locked, and was not unlocked: "
      "nobody answered its password prompt within 30 s\n";
  EXPECT_EQ(result.err, "vendrix-cli: the own account was not stored: " + unanswered);
  const std::string show = ReadFile(show_out);
  EXPECT_NE(show.find("vendrix-cli: the own account's secret could not be read: " + unanswered),
            std::string::npos)
      << show;
  EXPECT_NE(show.find("own_app_key\t12345678\nown_app_sec\tunreadable\n"), std::string::npos)
      << show;
  // Nothing stored: the account and its secret as they were.
  EXPECT_NE(ReadFile(AccountFile()).find("app_key=12345678\n"), std::string::npos);
  EXPECT_NE(KeyringItems().find("app_key = 12345678"), std::string::npos) << KeyringItems();
  EXPECT_EQ(KeyringItems().find("otherkey"), std::string::npos) << KeyringItems();
}

// Without an own key in the settings file no run goes near D-Bus, and nothing new is said: the
// session bus is a socket that counts who connects. An own key does connect, which shows the
// probe works.
TEST_F(CliAccountTest, NoRunTouchesDBusWithoutAnOwnKey) {
  Serve({});
  BusProbe bus(Home() + "/probe-bus");
  const std::map<std::string, std::string> env = {{"DBUS_SESSION_BUS_ADDRESS", bus.address}};
  auto pair = env;
  pair.insert({{"VENDRIX_APP_KEY", "envkey"}, {"VENDRIX_APP_SECRET", "envsecret0"}});
  fs::create_directories(fs::path(AccountFile()).parent_path());
  const std::vector<std::vector<std::string>> commands = {
      {"convert", "item", "1"}, {"search", "--count", "1"}, {"categories"},
      {"call", "taobao.users.get", "nicks=s0,"}, {"account", "show"}};
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
  EXPECT_EQ(bus.connections, 0);

  // The variables give the pair: the own key's keyring is not needed, and not asked.
  std::ofstream(AccountFile()) << "app_key=probekey\n";
  EXPECT_EQ(Cli({"convert", "item", "1"}, pair).err, "");
  EXPECT_EQ(bus.connections, 0);
  auto own = Cli({"convert", "item", "1"}, env);
  EXPECT_EQ(own.exit_code, 0) << "the document's pair stands in";
  EXPECT_NE(own.err.find("the own account's secret could not be read: no Secret Service could "
                         "be reached"),
            std::string::npos)
      << own.err;
  EXPECT_GT(bus.connections, 0);
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
  // Everything the terminal shows, until it shows `prompt` or ("") the program is gone.
  std::string screen;
  auto read_until = [&](const std::string& prompt) {
    for (auto until = std::chrono::steady_clock::now() + 30s;
         (prompt.empty() || screen.find(prompt) == std::string::npos) &&
         std::chrono::steady_clock::now() < until;) {
      pollfd p{terminal, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      ssize_t n = ::read(terminal, buffer, sizeof buffer);
      if (n <= 0) break;  // EIO: the program has closed the terminal
      screen.append(buffer, static_cast<size_t>(n));
    }
  };
  read_until("application secret for ttykey: ");
  ASSERT_NE(screen.find("application secret for ttykey: "), std::string::npos) << screen;
  ASSERT_EQ(::write(terminal, (secret + "\n").data(), secret.size() + 1),
            static_cast<ssize_t>(secret.size() + 1));
  read_until("");
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
