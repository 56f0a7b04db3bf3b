// libFuzzer target: see FuzzCases.h.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzCases.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vendrix::fuzz::Cookies({reinterpret_cast<const char*>(data), size});
  return 0;
}
