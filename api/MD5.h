// MD5 digest (RFC 1321) of a byte string, written as 32 upper-case hexadecimal digits: the
// signature of every platform request. Pure function, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace vendrix {

std::string MD5(std::string_view bytes);

}  // namespace vendrix
