// Replies that try to hurt the client, served to a whole component call: each must end in a
// clear failure, quickly, with bounded memory, and leave the component usable.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>

#include "api/TaobaoUsers.h"
#include "platform/CodePage.h"
#include "tests/support/ScriptedServer.h"

namespace vendrix {
namespace {

using test::ScriptedServer;
using test::ServerConnection;
using namespace std::chrono_literals;

// The sanitizers' shadow memory and redzones count as resident too.
#if defined(__SANITIZE_THREAD__)
constexpr long kMemoryBoundKb = 1024 * 1024;
#elif defined(__SANITIZE_ADDRESS__)
constexpr long kMemoryBoundKb = 400 * 1024;
#else
constexpr long kMemoryBoundKb = 200 * 1024;
#endif

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string XmlReply(const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Bomb() {
  std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE b [<!ENTITY a \"aaaaaaaaaa\">";
  std::string previous = "a";
  for (int level = 1; level <= 10; ++level) {
    std::string name = "e" + std::to_string(level);
    std::string refs;
    for (int i = 0; i < 10; ++i) refs += "&" + previous + ";";
    doc += "<!ENTITY " + name + " \"" + refs + "\">";
    previous = name;
  }
  return doc + "]><users_get_response><users><user><nick>&" + previous +
         ";</nick></user></users></users_get_response>";
}

struct Hostile {
  const char* name;
  std::function<void(ServerConnection&)> serve;
};

const Hostile kHostile[] = {
    {"body over the limit, announced",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string((64 << 20) + 1) + "\r\n\r\n");
       c.WaitForClientClose();
     }},
    {"body over the limit, unannounced",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send("HTTP/1.1 200 OK\r\n\r\n<users_get_response><users>");
       std::string block(1 << 20, ' ');
       for (int i = 0; i < 100 && c.Send(block); ++i) {
       }
     }},
    {"endless headers",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send("HTTP/1.1 200 OK\r\n");
       std::string header = "X-Pad: " + std::string(8000, 'p') + "\r\n";
       for (int i = 0; i < 100000 && c.Send(header); ++i) {
       }
     }},
    {"a 1 GB chunk",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n40000000\r\n<users_get");
       c.WaitForClientClose();
     }},
    {"overflowing Content-Length",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send("HTTP/1.1 200 OK\r\nContent-Length: 184467440737095516160\r\n\r\n<x/>");
       c.WaitForClientClose();
     }},
    {"cut mid-chunk",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100\r\n<users_get_response>");
       c.Close();
     }},
    {"one byte a second",
     [](ServerConnection& c) {
       c.ReadRequest();
       for (char byte : std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<users_get")) {
         if (!c.Send(std::string(1, byte)) || !c.Sleep(1000ms)) return;
       }
     }},
    {"invalid GBK",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send(XmlReply("<?xml version=\"1.0\" encoding=\"GBK\"?><users_get_response><users><user>"
                       "<nick>\x81\x20\xFF\xFE\x80</nick></user></users></users_get_response>"));
     }},
    {"entity bomb",
     [](ServerConnection& c) {
       c.ReadRequest();
       c.Send(XmlReply(Bomb()));
     }},
    {"deep nesting",
     [](ServerConnection& c) {
       c.ReadRequest();
       std::string deep = "<users_get_response><users>";
       for (int i = 0; i < 200000; ++i) deep += "<u>";
       c.Send(XmlReply(deep));
     }},
};

void PrintTo(const Hostile& hostile, std::ostream* out) { *out << hostile.name; }

class HostileServerTest : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileServerTest, EndsInAClearFailureWithBoundedMemory) {
  const Hostile& hostile = GetParam();
  ScriptedServer server([&](ServerConnection& c) {
    if (c.Index() == 0) {
      hostile.serve(c);
    }
    // Afterwards, on this connection or a new one, honest replies.
    while (!c.ReadRequest().empty()) {
      c.Send(XmlReply("<users_get_response><users><user><nick>ok</nick></user></users>"
                      "</users_get_response>"));
    }
  });
  TTaobaoUsers users;
  users.Http().SetTransferTimeout(3000);  // the trickle is cut off sooner than in production
  TaobaoUsersConditions cond{.nicks = "a,", .app_key = "k", .app_sec = "s"};
  TaobaoUsersName name{.http = server.Base() + "/router/rest"};
  const ATaobaoUsersInfo* table = nullptr;

  long before = PeakKilobytes();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(users.Execute(cond, {}, name, {}, table));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  // A refused body stops at its 64 MiB limit; nothing grows beyond it.
  EXPECT_LT(PeakKilobytes() - before, kMemoryBoundKb) << "kilobytes";
  EXPECT_EQ(table, nullptr);

  // Whatever happened, the next call works.
  ASSERT_TRUE(users.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].nick, "ok");
}

INSTANTIATE_TEST_SUITE_P(Replies, HostileServerTest, ::testing::ValuesIn(kHostile),
                         [](const auto& hostile) {
                           std::string name = hostile.param.name;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace vendrix
