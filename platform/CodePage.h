// Code-page conversion between GBK (code page 936, the text of every record) and UTF-8 (what
// the platform signs, what libxml2 and the terminal speak). Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

// GBK bytes to UTF-8. A byte sequence that is not GBK becomes "?"; never fails.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 to GBK. A character with no GBK form, or a byte that is not UTF-8, becomes "?".
std::string Utf8ToGbk(std::string_view utf8);

// UTF-8 to GBK when every character has a GBK form; nullopt otherwise (a value typed by the
// user that would go out as "?" is better refused than sent).
std::optional<std::string> Utf8ToGbkExact(std::string_view utf8);

}  // namespace vendrix
