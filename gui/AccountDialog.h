// The account settings (账户设置): the affiliate's own application key, secret and nick, which
// account the window uses now and where each of its values comes from, a test of the values
// typed (测试连接) and saving them (保存). The test and the save run off the window's thread,
// since they call the platform and the Secret Service; the dialog stays responsive meanwhile.
// Window thread only.
#pragma once

#include <QDialog>
#include <QStringList>
#include <optional>
#include <string>

#include "account/OwnAccount.h"
#include "platform/Settings.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vendrix {

class ShopFinder;

class TAccountDialog : public QDialog {
 public:
  // Shows what `finder`'s last start-up chose and is filled from the own account's settings
  // file (no D-Bus); the test calls the platform at `finder`'s addresses.
  TAccountDialog(const ShopFinder& finder, QWidget* parent);

  // Checks the fields and, when every one is right, saves them off this thread; the dialog
  // closes as accepted once they are saved, and otherwise says why and stays open. Every
  // field that is wrong is named at once.
  void accept() override;
  // Closes without saving; while a save is under way the dialog waits for it.
  void reject() override;

  QLabel* InUse = nullptr;  // which account is in use, and where each value comes from
  QLineEdit* AppKey = nullptr;
  QLineEdit* AppSecret = nullptr;  // masked; empty keeps the secret stored for the same key
  QLineEdit* Nick = nullptr;
  QLabel* Result = nullptr;  // what the test found, or why the values were not saved; its
                             // tooltip holds the keyring's own words, if any
  QPushButton* TestButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* CancelButton = nullptr;

 private:
  struct Typed {
    std::string app_key;  // UTF-8, trimmed
    std::string app_sec;  // empty: the one stored for the key
    std::string nick;
  };
  // The fields as typed; nothing when one is wrong, after saying what is wrong with each (one
  // line a field) and putting the focus on the first.
  std::optional<Typed> Read();
  void TestConnection();
  void TestDone(const QString& text, bool passed, const QString& detail);
  void Saved(bool saved, const AccountSaveFailure& failure, const std::string& app_key);
  // Shows `text` as the result; `detail` (English, from the library) as its tooltip.
  void Say(const QString& text, bool failure, const QString& detail = {});
  void SetSaving(bool saving);

  Settings settings_;
  std::string stored_key_;  // the key in the settings file when the dialog opened
  bool testing_ = false;
  bool saving_ = false;
};

}  // namespace vendrix
