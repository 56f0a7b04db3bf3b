// The own account's settings file: where it is, what survives a failed write, who may read it.
#include "account/AccountFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

TEST(AccountFileTest, WrittenWholeAndPrivate_ReadTolerantly_FailuresKeepTheOldFile) {
  const fs::path root = fs::path(::testing::TempDir()) / ("account-" + std::to_string(getpid()));
  fs::remove_all(root);
  const std::string path = (root / "config/vendrix/account.conf").string();
  AccountSettings read{"stale", "stale"};
  std::string error;
  ASSERT_TRUE(ReadAccountFile(path, read, error)) << "a missing file is an empty account";
  EXPECT_EQ(read.app_key + read.nick, "");

  // The folders are made, private (the file's own mode is CliAccountTest's).
  ASSERT_TRUE(WriteAccountFile(path, {"12345678", "淘客小店"}, error)) << error;
  struct stat status {};
  ASSERT_EQ(::stat((root / "config").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  ASSERT_TRUE(WriteAccountFile(path, {"87654321", ""}, error)) << error;
  ASSERT_TRUE(ReadAccountFile(path, read, error));
  EXPECT_EQ(read.app_key, "87654321");
  EXPECT_EQ(read.nick, "") << "no nick is no nick, not the old one";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(root / "config/vendrix")) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "account.conf") << "nothing half-written is left";
  }
  EXPECT_EQ(files, 1);

  // A file edited by hand: Windows line ends, comments, lines it does not know.
  std::ofstream(path) << "# mine\r\napp_key=k1\r\ncolour=blue\r\nnot a setting\r\nnick=a=b\r\n";
  ASSERT_TRUE(ReadAccountFile(path, read, error));
  EXPECT_EQ(read.app_key, "k1");
  EXPECT_EQ(read.nick, "a=b");

  // A write that cannot happen leaves the file as it was; one that cannot be read says why.
  const std::string blocked = (root / "config/vendrix/account.conf/inner/account.conf").string();
  EXPECT_FALSE(WriteAccountFile(blocked, {"k2", ""}, error));
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  ASSERT_TRUE(ReadAccountFile(path, read, error));
  EXPECT_EQ(read.app_key, "k1");
  EXPECT_FALSE(ReadAccountFile((root / "config").string(), read, error));
  EXPECT_NE(error.find("could not be read"), std::string::npos) << error;
  EXPECT_EQ(read.app_key, "");

  fs::remove_all(root);
}

TEST(AccountFileTest, LivesUnderTheConfigurationHome) {
  // The tests run with a configuration home of their own; it is put back after.
  const std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(AccountFilePath(), "/cfg/vendrix/account.conf");
  // A relative one is no configuration home; the default under the home folder stands.
  ::setenv("XDG_CONFIG_HOME", "cfg", 1);
  EXPECT_EQ(AccountFilePath(), std::string(std::getenv("HOME")) + "/.config/vendrix/account.conf");
  ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace vendrix
