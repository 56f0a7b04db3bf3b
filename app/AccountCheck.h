// The account test: one signed category call and one affiliate item search with the
// credentials and nick a search would use, and what to tell the user about the outcome, in
// English for the command line and in Chinese for the window. CheckAccount runs on the
// finder's owner thread (it makes blocking calls); the texts are pure and fit any thread.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "api/ApiFrame.h"

namespace vendrix {

class ShopFinder;

// One call of the account test.
struct AccountCheckStep {
  std::string method;  // the wire method: "taobao.itemcats.get", "taobao.taobaoke.items.get"
  bool ok = false;
  std::chrono::milliseconds round_trip{0};  // from the request to the parsed reply
  CallFailure failure;                      // why it failed, when it did
};

struct AccountCheckOutcome {
  // The calls made, in order; the first that fails is the last.
  std::vector<AccountCheckStep> steps;
  int categories = 0;  // the categories the category call returned
  int items = 0;       // the items the affiliate item search returned (at most one)
  bool click_addresses = false;  // the item came back with a click address for the nick

  // Both calls went through and the nick gets click addresses.
  bool Passed() const;
  // The step that failed, nullptr when none did.
  const AccountCheckStep* Failed() const;
};

// Runs the account test on `finder`, whose configuration (credentials, nick, records) is
// loaded: the category call start-up makes (LoadCats, which also fills the finder's category
// table), then, when it went through, one affiliate item search of one item in the first
// category of the table (所有类目, all of them) with the finder's nick, asking for the click
// address. Never raises; the outcome says what happened.
AccountCheckOutcome CheckAccount(ShopFinder& finder);

// What the user reads: the same advice in both languages, UTF-8, one paragraph each.
struct AccountAdvice {
  std::string english;
  std::string chinese;
};

// What `failure`, left by the call of `method` (its wire name), means and what to fix: a wrong
// secret (code 25), an unknown application key (29), the computer's clock (31, with how far
// off it is when the reply's Date told), the call limits (7 and 8, with when the ban ends when
// the platform says), a missing permission (11), any other code with the platform's code and
// message, an HTTP error status, no answer at all with the client's message, a reply that
// could not be read, a call not sent for a missing value. Values from the reply come as they
// were received (a caller that prints them to a terminal cleans them first). Empty texts for
// a failure of kind kNone.
AccountAdvice ExplainAccountFailure(const CallFailure& failure, const std::string& method);

// What it means that the affiliate item search of `nick` (UTF-8) went through but brought no
// click address, or (`items` 0) no item at all to show one.
AccountAdvice ExplainMissingClickAddresses(const std::string& nick, int items);

}  // namespace vendrix
