// What a navigation in the shop page means, and how a converted click address reaches the
// user's web browser. Pure decisions, and a launcher safe to call from the window's thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

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
}  // namespace link_defaults

// The decision for `url` (8-bit text): "about:blank" and addresses of 100 bytes or more pass;
// otherwise, without its last byte, an address whose bytes 8-10 are "iid" is the item whose id
// follows them, and any other is the shop.
LinkDecision DecideLink(std::string_view url);

// Opens converted click addresses; the window and the tests supply their own.
using LinkOpener = std::function<void(const std::string& address)>;

// Starts `$BROWSER address` when BROWSER is set, otherwise `xdg-open address`, detached: the
// browser outlives nothing of ours and leaves no child behind. False when it could not start.
bool OpenInWebBrowser(const std::string& address);

}  // namespace vendrix
