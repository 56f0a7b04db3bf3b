// What a navigation in the shop page means, and how a converted click address reaches the
// user's web browser. Pure decisions, and a launcher safe to call from any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

struct LinkDecision {
  enum Kind {
    kPass,  // let the embedded browser navigate
    kItem,  // an item link: convert `iid`
    kShop,  // anything else: convert the selected row's shop
  };
  Kind kind = kPass;
  std::string iid;
};

namespace link_defaults {
inline constexpr size_t kPassLength = 100;  // addresses this long or longer are not intercepted
inline constexpr const char* kFallbackBrowser = "xdg-open";  // when BROWSER is not set
}  // namespace link_defaults

// The decision for `url` (8-bit text): "about:blank" and addresses of 100 bytes or more pass;
// otherwise, without its last byte, an address whose bytes 8-10 are "iid" is the item whose id
// follows them, and any other is the shop.
LinkDecision DecideLink(std::string_view url);

// True for an http:// or https:// address (the scheme in any letter case) with something after
// it and no space or control byte in it: the only addresses that ever reach a web browser.
bool IsWebAddress(std::string_view address);

// What an address copied from a browser names.
struct CopiedAddress {
  enum Kind {
    kUnknown,    // none of the forms
    kItem,       // `id` is the item id
    kShop,       // `id` is the shop id
    kShortLink,  // a short share link, whose item or shop only opening it can tell
  };
  Kind kind = kUnknown;
  std::string id;
};

// Reads an http(s) address (the scheme and host in any letter case) with the host a browser
// would take from it: the authority ends at "/", "?" or "\", a user part up to its last "@"
// is dropped, and one trailing dot of the host is ignored. Any address on a host
// shopDIGITS.taobao.com is that shop; an item.htm, detail.htm or detail.html page on
// taobao.com, tmall.com or a host under either, with an `id` query parameter of digits, is
// that item, and so is the phone form a.m.taobao.com/iDIGITS.htm; an address on m.tb.cn (or
// another host under tb.cn) or on s.click.taobao.com is a short share link. Anything else, and
// any address holding a blank or a control byte, is kUnknown.
CopiedAddress ReadCopiedAddress(std::string_view address);

// Hands a converted click address (GBK, as the records hold it) on (to the web browser, the
// terminal, the clipboard); true when it went. The window and the tests supply their own.
using LinkOpener = std::function<bool(const std::string& address)>;

// The commands, each an argument list, that `browser` (the value of BROWSER) names for
// `address`: a colon-separated list, each command split into words as a POSIX shell splits
// them (blanks end a word; quotes and backslashes as the shell reads them, so that a quoted
// or escaped blank or colon belongs to its word; nothing expanded), "%s" in a word replaced
// by the address, "%%" by "%" and "%c" by ":", the address appended to a command without
// "%s". Empty commands, and a command whose quote never closes, are left out.
std::vector<std::vector<std::string>> BrowserCommands(std::string_view browser,
                                                      const std::string& address);

// Opens `address` (GBK, as the records hold it) in the user's web browser, handing it over in
// UTF-8: the commands of BROWSER when it names any, tried in order until one starts, else
// xdg-open; never through a shell. The browser runs in a session of its own with its output
// discarded, and is reaped when it ends; its environment is ours with `changes` made:
// "NAME=value" sets NAME, a bare "NAME" leaves it out. False when `address` is not a web
// address or no command could be started.
bool OpenInWebBrowser(const std::string& address, const std::vector<std::string>& changes = {});

}  // namespace vendrix
