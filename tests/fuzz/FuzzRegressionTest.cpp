// Replays the fuzz targets' seed corpora and every input that once broke them, with the
// ordinary build: what a fuzzer found stays found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/FuzzCases.h"

namespace vendrix::fuzz {

void PrintTo(const Case& target, std::ostream* out) { *out << target.name; }

namespace {

namespace fs = std::filesystem;

class FuzzRegressionTest : public ::testing::TestWithParam<Case> {};

TEST_P(FuzzRegressionTest, EveryKeptInputRunsClean) {
  const Case& c = GetParam();
  int replayed = 0;
  for (const char* folder : {"corpus", "regressions"}) {
    fs::path dir = fs::path(VENDRIX_FUZZ_DIR) / folder / c.name;
    if (!fs::exists(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      std::ifstream file(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << file.rdbuf();
      SCOPED_TRACE(entry.path().string());
      c.run(bytes.str());
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no seeds for " << c.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressionTest, ::testing::ValuesIn(kCases),
                         [](const auto& target) { return std::string(target.param.name); });

}  // namespace
}  // namespace vendrix::fuzz
