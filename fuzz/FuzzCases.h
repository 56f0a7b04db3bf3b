// What each fuzz target does with one input: feed it to the HTTP reply reader, the XML service
// and every component's walk, the configuration reads, StripTags, BuildUrl, the shop page or
// the cookie store (on its own and behind the client's header reading).
// Shared by the libFuzzer targets and the regression test that replays their corpora.
// A case traps when a property it checks does not hold; it never throws.
#pragma once

#include <string_view>

namespace vendrix::fuzz {

void HttpReply(std::string_view input);
void ApiWalks(std::string_view input);
void ConfigReads(std::string_view input);
void StripTagsCase(std::string_view input);
void BuildUrls(std::string_view input);
void ShopPage(std::string_view input);
// NUL-separated: a request host, a request path, then header values (Set-Cookie values, or
// whole "Name: value" lines).
void Cookies(std::string_view input);

// The cases by the names of their targets and corpus folders.
struct Case {
  const char* name;
  void (*run)(std::string_view);
};
inline constexpr Case kCases[] = {
    {"http_reply", HttpReply},   {"api_walks", ApiWalks},   {"config_reads", ConfigReads},
    {"strip_tags", StripTagsCase}, {"build_url", BuildUrls}, {"shop_page", ShopPage},
    {"cookies", Cookies},
};

}  // namespace vendrix::fuzz
