#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace vendrix {
namespace {

// One iconv descriptor per direction and thread: opening one costs far more than a short
// conversion, and a descriptor must not be shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; `skip(p, left)` says how many input bytes make up the bad sequence at p.
  // `bad`, when given, counts the sequences that became "?".
  template <typename Skip>
  std::string Run(std::string_view in, Skip skip, size_t* bad_count = nullptr) {
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buffer[1024];
    while (left > 0) {
      char* dst = buffer;
      size_t room = sizeof buffer;
      size_t rc = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ (not convertible) or EINVAL (cut short at the end): one "?" per bad sequence.
      out += '?';
      if (bad_count != nullptr) ++*bad_count;
      size_t bad = errno == EINVAL ? left : skip(reinterpret_cast<unsigned char*>(src), left);
      src += bad;
      left -= bad;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

size_t SkipUtf8(const unsigned char* p, size_t left) {
  size_t length = p[0] >= 0xF0 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC0 ? 2 : 1;
  if (length > left) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 1;  // not a sequence at all: drop the lead byte only
  }
  return length;
}

size_t SkipGbk(const unsigned char* p, size_t left) {
  bool lead = p[0] >= 0x81 && p[0] <= 0xFE;
  bool trail = left > 1 && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F;
  return lead && trail ? 2 : 1;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  thread_local Converter converter("UTF-8", "GBK");
  return converter.Run(gbk, SkipGbk);
}

namespace {
Converter& Utf8ToGbkConverter() {
  thread_local Converter converter("GBK", "UTF-8");
  return converter;
}
}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Utf8ToGbkConverter().Run(utf8, SkipUtf8);
}

std::optional<std::string> Utf8ToGbkExact(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  size_t bad = 0;
  std::string gbk = Utf8ToGbkConverter().Run(utf8, SkipUtf8, &bad);
  if (bad != 0) return std::nullopt;
  return gbk;
}

}  // namespace vendrix
