// What the library's tests share: a fresh folder of their own for each library, and the bytes
// and the names of what lies in a folder, to show that a file was left exactly as it was.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace vendrix::library::test {

// A new empty folder under the test's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = ::testing::TempDir() + "/vendrix-library-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Where the library of this folder lives, as $XDG_DATA_HOME/vendrix/vendrix.db would.
  std::string Library() const { return path_ + "/vendrix/vendrix.db"; }

 private:
  std::string path_;
};

inline std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The names in `folder` (no folders below it).
inline std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

}  // namespace vendrix::library::test
