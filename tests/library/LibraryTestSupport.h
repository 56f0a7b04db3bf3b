// What the library's tests share: a fresh folder of their own for each library, libraries made
// sound, damaged or newer, and the bytes and the names of what lies in a folder, to show that a
// file was left exactly as it was.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "library/Library.h"
#include "library/Sqlite.h"

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

inline std::unique_ptr<Library> MustOpen(const std::string& path,
                                         Library::Access access = Library::Access::kWrite) {
  LibraryStatus status;
  std::unique_ptr<Library> library = Library::Open(path, access, status);
  EXPECT_TRUE(library) << status.message;
  return library;
}

// A library of `path` with `entries` history entries titled "…女装连衣裙 第i件" and one saved
// shop, closed again.
inline void MakeLibrary(const std::string& path, int entries) {
  std::unique_ptr<Library> library = MustOpen(path);
  ASSERT_TRUE(library);
  std::vector<HistoryEntry> batch;
  for (int i = 0; i < entries; ++i) {
    batch.push_back({.id = std::to_string(5000000000 + i),
                     .nick = "甜甜小铺",
                     .title = "2024新款女装连衣裙 第" + std::to_string(i) + "件",
                     .click_url = "http://s.click.example/t?e=" + std::to_string(i)});
  }
  ASSERT_TRUE(library->Record(batch).Ok());
  SavedShop shop{.nick = "甜甜小铺", .shop_id = "60000003"};
  ASSERT_TRUE(library->SaveShop(shop, "主推").Ok());
}

inline void Overwrite(const std::string& path, size_t offset, size_t size) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(offset));
  file << std::string(size, '\xA5');
}

// The library of `path`, with 20 entries, marked as written by a newer Vendrix.
inline void MakeNewer(const std::string& path, int version, int readable_by) {
  MakeLibrary(path, 20);
  sql::Database db(path, sql::Database::Mode::kReadWrite);
  db.Execute(("PRAGMA user_version = " + std::to_string(version) +
              "; UPDATE meta SET value = " + std::to_string(readable_by))
                 .c_str());
}

// Another program's SQLite database.
inline void MakeForeign(const std::string& path) {
  sql::Database db(path, sql::Database::Mode::kCreate);
  db.Execute(
      "PRAGMA application_id = 1297498673; PRAGMA journal_mode = WAL;"
      "CREATE TABLE history(x); INSERT INTO history VALUES('theirs');");
}

// Whether SQLite finds the file of `path` sound.
inline bool Sound(const std::string& path) {
  sql::Database db(path, sql::Database::Mode::kReadWrite);
  return db.QueryInt(
             "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check != 'ok'") == 0;
}

inline std::vector<std::string> Ids(const std::vector<HistoryEntry>& entries) {
  std::vector<std::string> ids;
  for (const HistoryEntry& e : entries) ids.push_back(e.id);
  return ids;
}

}  // namespace vendrix::library::test
