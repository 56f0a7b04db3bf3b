// What each fuzz target does with one input: feed it to the HTTP reply reader, the XML service
// and every component's walk, the configuration reads, StripTags, BuildUrl or the shop page.
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

// The cases by the names of their targets and corpus folders.
struct Case {
  const char* name;
  void (*run)(std::string_view);
};
inline constexpr Case kCases[] = {
    {"http_reply", HttpReply},   {"api_walks", ApiWalks},   {"config_reads", ConfigReads},
    {"strip_tags", StripTagsCase}, {"build_url", BuildUrls}, {"shop_page", ShopPage},
};

}  // namespace vendrix::fuzz
