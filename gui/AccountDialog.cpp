#include "gui/AccountDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>
#include <memory>

#include "account/OwnAccount.h"
#include "app/AccountCheck.h"
#include "app/ShopFinder.h"
#include "app/TableText.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

const char* const kTest = "测试连接";
const char* const kTesting = "正在测试...";
const char* const kSave = "保存";
const char* const kSaving = "正在保存...";

QString Utf8(const std::string& text) { return QString::fromStdString(text); }
// A text from the network or the keyring on one line, as it was received otherwise.
QString Line(const std::string& text) { return Utf8(CellText(text)); }

// Why the keyring could not be used, in the window's words; what the library said stays out of
// them (it is English), and goes to the result's tooltip instead.
QString KeyringWords(SecretFailure kind) {
  switch (kind) {
    case SecretFailure::kUnreachable:
      return QString::fromUtf8("无法连接桌面的钥匙环（Secret Service）。");
    case SecretFailure::kLocked:
      return QString::fromUtf8("钥匙环已锁定（或尚未建立），未能解锁：解锁密码框未能显示、"
                               "被取消，或 %1 秒内无人应答。")
          .arg(keyring_defaults::kTimeout.count());
    case SecretFailure::kRefused:
      return QString::fromUtf8("钥匙环拒绝了这一操作。");
    case SecretFailure::kOther:
    case SecretFailure::kNone:
      break;
  }
  return QString::fromUtf8("钥匙环出错。");
}

// Where a value comes from, in the user's words.
QString SourceWords(CredentialSource source, bool pair) {
  switch (source) {
    case CredentialSource::kEnvironment:
      return QString::fromUtf8(pair ? "环境变量 VENDRIX_APP_KEY 和 VENDRIX_APP_SECRET"
                                    : "环境变量 VENDRIX_NICK");
    case CredentialSource::kOwnAccount:
      return QString::fromUtf8("自己的账户");
    case CredentialSource::kVendorDocument:
      return QString::fromUtf8("供应商的配置");
    case CredentialSource::kBuiltIn:
      return QString::fromUtf8("内置的昵称");
    case CredentialSource::kNone:
      break;
  }
  return QString::fromUtf8("无");
}

// Which account the window's last start-up chose, where each value comes from, and why the
// own account is not the one in use when it is there but passed over.
QString DescribeInUse(const ShopFinder& finder) {
  const CredentialChoice& chosen = finder.Credentials();
  QStringList lines;
  if (chosen.key_source == CredentialSource::kNone) {
    lines << QString::fromUtf8("当前没有可用的账户：未能读取供应商的配置，也没有自己的账户。");
  } else {
    lines << QString::fromUtf8("当前使用的账户：")
          << QString::fromUtf8("应用 Key 与密钥：%1（%2）")
                 .arg(SourceWords(chosen.key_source, true), Utf8(GbkToUtf8(chosen.app_key)))
          << QString::fromUtf8("推广者昵称：%1（%2）")
                 .arg(SourceWords(chosen.nick_source, false), Utf8(GbkToUtf8(chosen.nick)));
  }
  if (!finder.GetSettings().UseOwnCredentials) {
    lines << QString::fromUtf8("本窗口连接本地沙盒，只使用沙盒的配置，不使用自己的账户。");
  } else if (chosen.key_source == CredentialSource::kEnvironment) {
    lines << QString::fromUtf8("环境变量优先于这里保存的账户。");
  } else if (finder.UserSources().own_secret == OwnSecret::kUnreadable) {
    lines << QString::fromUtf8("自己的账户的应用密钥未能从钥匙环读取，因此没有使用。");
  } else if (finder.UserSources().own_secret == OwnSecret::kNotStored) {
    lines << QString::fromUtf8("钥匙环中没有自己的账户的应用密钥，因此没有使用。");
  }
  return lines.join("\n");
}

// The account test with `typed` in place of the user's own sources, and what it found, in the
// window's words. Blocks (the keyring, the platform): off the window's thread.
struct TestResult {
  QString text;
  bool passed = false;
  QString detail;  // the keyring's own words, for the tooltip
};
TestResult RunAccountTest(const Settings& settings, const std::string& app_key,
                          const std::string& app_sec, const std::string& nick) {
  UserCredentials user;
  user.own = {app_key, app_sec, nick};
  user.own_secret = OwnSecret::kRead;
  if (app_sec.empty()) {
    SecretError error;
    switch (LookUpSecret(app_key, user.own.app_sec, error)) {
      case SecretLookup::kFound:
        break;
      case SecretLookup::kNotStored:
        return {QString::fromUtf8("钥匙环中没有应用 Key %1 的密钥，请填写应用密钥。")
                    .arg(Utf8(app_key)),
                false};
      case SecretLookup::kFailed:
        return {QString::fromUtf8("未能读取已保存的应用密钥：") + KeyringWords(error.kind), false,
                Line(error.Describe())};
    }
  }
  // A finder of the test's own: the window's keeps serving the window meanwhile.
  ShopFinder finder(settings);
  finder.UseUserCredentials(std::move(user));
  finder.LoadConfiguration();
  AccountCheckOutcome outcome = CheckAccount(finder);
  const std::string used_nick = GbkToUtf8(finder.DefaultNick());

  QStringList lines;
  for (size_t i = 0; i < outcome.steps.size(); ++i) {
    const AccountCheckStep& step = outcome.steps[i];
    QString name = QString::fromUtf8(i == 0 ? "类目调用" : "淘宝客商品搜索") + "（" +
                   Utf8(step.method) + "）";
    QString took = QString::number(step.round_trip.count());
    if (!step.ok) {
      lines << name + QString::fromUtf8("失败（往返 %1 毫秒）：").arg(took) +
                   Line(ExplainAccountFailure(step.failure, step.method).chinese);
      break;
    }
    QString found =
        i == 0 ? QString::fromUtf8("%1 个类目").arg(outcome.categories)
        : outcome.click_addresses
            ? QString::fromUtf8("昵称“%1”得到了推广链接").arg(Line(used_nick))
            : QString::fromUtf8(outcome.items == 0 ? "没有找到商品" : "没有得到推广链接");
    lines << name + QString::fromUtf8("成功：%1，往返 %2 毫秒。").arg(found, took);
  }
  if (outcome.Passed()) {
    lines.prepend(QString::fromUtf8("连接成功。"));
  } else if (outcome.Failed() == nullptr) {
    lines << Line(ExplainMissingClickAddresses(used_nick, outcome.items).chinese);
  }
  return {lines.join("\n"), outcome.Passed(), {}};
}

// Hands `deliver` to the window's thread, where it runs unless `dialog` has gone meanwhile.
// Called from a worker of the global pool, which the application waits for as it ends.
template <typename Deliver>
void DeliverTo(const QPointer<TAccountDialog>& dialog, Deliver deliver) {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(
        app, [dialog, deliver] {
          if (dialog) deliver(dialog.data());
        },
        Qt::QueuedConnection);
  }
}

}  // namespace

TAccountDialog::TAccountDialog(const ShopFinder& finder, QWidget* parent)
    : QDialog(parent), settings_(finder.GetSettings()) {
  setWindowTitle(QString::fromUtf8("账户设置"));
  auto* layout = new QVBoxLayout(this);
  InUse = new QLabel(DescribeInUse(finder), this);
  InUse->setObjectName("AccountInUse");
  InUse->setTextFormat(Qt::PlainText);
  InUse->setWordWrap(true);
  layout->addWidget(InUse);

  auto* note = new QLabel(QString::fromUtf8("自己的淘宝开放平台应用：保存后 Vendrix 用它搜索，"
                                            "无需供应商的服务器。应用密钥保存在桌面的钥匙环中。"),
                          this);
  note->setWordWrap(true);
  layout->addWidget(note);

  auto* form = new QFormLayout;
  AppKey = new QLineEdit(this);
  AppSecret = new QLineEdit(this);
  AppSecret->setEchoMode(QLineEdit::Password);
  Nick = new QLineEdit(this);
  AppKey->setMinimumWidth(300);  // a key, a secret and a nick fit whole
  form->addRow(QString::fromUtf8("应用 Key："), AppKey);
  form->addRow(QString::fromUtf8("应用密钥："), AppSecret);
  form->addRow(QString::fromUtf8("推广者昵称："), Nick);
  layout->addLayout(form);

  Result = new QLabel(this);
  Result->setObjectName("AccountResult");
  Result->setTextFormat(Qt::PlainText);
  Result->setWordWrap(true);
  Result->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(Result);

  // The test on the left, apart from the buttons that close the dialog.
  auto* row = new QHBoxLayout;
  TestButton = new QPushButton(QString::fromUtf8(kTest), this);
  TestButton->setAutoDefault(false);
  row->addWidget(TestButton);
  row->addStretch();
  auto* buttons = new QDialogButtonBox(this);
  SaveButton = buttons->addButton(QString::fromUtf8(kSave), QDialogButtonBox::AcceptRole);
  CancelButton = buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
  SaveButton->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &TAccountDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TAccountDialog::reject);
  connect(TestButton, &QPushButton::clicked, this, &TAccountDialog::TestConnection);
  row->addWidget(buttons);
  layout->addLayout(row);
  // The dialog grows with what it says, rather than cutting it off.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // The settings file alone: the keyring is asked only by a test or a save.
  OwnAccount account;
  std::string error;
  if (!ReadOwnAccount(account, error)) {
    Say(QString::fromUtf8("无法读取账户设置文件：") + Line(error), true);
  }
  stored_key_ = account.app_key;
  AppKey->setText(Utf8(account.app_key));
  Nick->setText(Utf8(account.nick));
  if (!stored_key_.empty()) {
    AppSecret->setPlaceholderText(QString::fromUtf8("留空则保留已保存的密钥"));
  }
  Nick->setPlaceholderText(QString::fromUtf8("可不填：用配置或内置的昵称"));
}

std::optional<TAccountDialog::Typed> TAccountDialog::Read() {
  QStringList problems;
  QWidget* first_wrong = nullptr;
  auto wrong = [&](QWidget* field, const char* problem) {
    problems << QString::fromUtf8(problem);
    if (first_wrong == nullptr) first_wrong = field;
  };
  // Blanks around a pasted value are not part of it.
  Typed typed{AppKey->text().trimmed().toStdString(), AppSecret->text().trimmed().toStdString(),
              Nick->text().trimmed().toStdString()};
  if (typed.app_key.empty()) {
    wrong(AppKey, "请填写应用 Key。");
  } else if (!AppKeyProblem(typed.app_key).empty()) {
    wrong(AppKey, "应用 Key 只能由英文字母、数字和 . _ ~ - 组成。");
  }
  if (typed.app_sec.empty()) {
    // An empty field keeps the secret stored for the same key; another key has none yet.
    if (stored_key_.empty() || typed.app_key != stored_key_) wrong(AppSecret, "请填写应用密钥。");
  } else if (!AppSecretProblem(typed.app_sec).empty()) {
    wrong(AppSecret, "应用密钥只能由英文字母、数字和符号组成，不能有空格。");
  }
  if (!typed.nick.empty() && !NickProblem(typed.nick).empty()) {
    wrong(Nick, Utf8ToGbkExact(typed.nick) ? "推广者昵称不能有空格或控制字符。"
                                           : "推广者昵称中有无法使用的字符。");
  }
  if (problems.isEmpty()) return typed;
  Say(problems.join("\n"), true);
  first_wrong->setFocus();
  return std::nullopt;
}

void TAccountDialog::TestConnection() {
  if (testing_) return;
  std::optional<Typed> read = Read();
  if (!read) return;
  const Typed& typed = *read;
  testing_ = true;
  TestButton->setEnabled(false);
  TestButton->setText(QString::fromUtf8(kTesting));
  TestButton->setCursor(Qt::BusyCursor);
  Say(QString::fromUtf8("正在测试连接..."), false);
  QPointer<TAccountDialog> self(this);
  QThreadPool::globalInstance()->start([self, settings = settings_, typed] {
    TestResult result = RunAccountTest(settings, typed.app_key, typed.app_sec, typed.nick);
    DeliverTo(self, [result](TAccountDialog* dialog) {
      dialog->TestDone(result.text, result.passed, result.detail);
    });
  });
}

void TAccountDialog::TestDone(const QString& text, bool passed, const QString& detail) {
  testing_ = false;
  TestButton->setText(QString::fromUtf8(kTest));
  TestButton->unsetCursor();
  TestButton->setEnabled(!saving_);
  Say(text, !passed, detail);
}

void TAccountDialog::accept() {
  if (saving_) return;
  std::optional<Typed> read = Read();
  if (!read) return;
  const Typed& typed = *read;
  SetSaving(true);
  Say(QString::fromUtf8("正在保存..."), false);
  QPointer<TAccountDialog> self(this);
  QThreadPool::globalInstance()->start([self, typed] {
    auto failure = std::make_shared<AccountSaveFailure>();
    bool saved = SaveOwnAccount({typed.app_key, typed.nick}, typed.app_sec, *failure);
    DeliverTo(self, [saved, failure, key = typed.app_key](TAccountDialog* dialog) {
      dialog->Saved(saved, *failure, key);
    });
  });
}

void TAccountDialog::Saved(bool saved, const AccountSaveFailure& failure,
                           const std::string& app_key) {
  using Step = AccountSaveFailure::Step;
  SetSaving(false);
  if (saved) {
    QDialog::accept();
    return;
  }
  QString text = QString::fromUtf8("账户未能保存：");
  switch (failure.step) {
    case Step::kKeyring:
      text += KeyringWords(failure.keyring.kind);
      // The secret goes only to the Secret Service: say what it needs.
      text += QString::fromUtf8("\n应用密钥保存在桌面的钥匙环中（如 GNOME 钥匙环、KeePassXC）："
                                "请确认它正在运行并已解锁，然后再保存。");
      break;
    case Step::kNoSecret:
      text += QString::fromUtf8("钥匙环中没有应用 Key %1 的密钥，请填写应用密钥。")
                  .arg(Utf8(app_key));
      break;
    case Step::kSettingsFile:
      text += QString::fromUtf8("无法写入账户设置文件 %1。").arg(Utf8(AccountFilePath()));
      if (failure.secret_stored) text += QString::fromUtf8("应用密钥已存入钥匙环。");
      break;
    case Step::kValue:
    case Step::kNone:
      // The fields are checked before a save: only a value changed meanwhile gets here.
      text += QString::fromUtf8("填写的值无法使用。");
      break;
  }
  Say(text, true, Line(failure.text));
}

void TAccountDialog::reject() {
  // A save under way ends within the keyring's time-out; what it did is then said.
  if (saving_) return;
  QDialog::reject();
}

void TAccountDialog::SetSaving(bool saving) {
  saving_ = saving;
  for (QWidget* field : {AppKey, AppSecret, Nick}) field->setEnabled(!saving);
  SaveButton->setEnabled(!saving);
  SaveButton->setText(QString::fromUtf8(saving ? kSaving : kSave));
  CancelButton->setEnabled(!saving);
  TestButton->setEnabled(!saving && !testing_);
  if (saving) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

void TAccountDialog::Say(const QString& text, bool failure, const QString& detail) {
  Result->setText(text);
  Result->setToolTip(detail);
  QPalette colours = palette();
  if (failure) colours.setColor(QPalette::WindowText, QColor(180, 0, 0));
  Result->setPalette(colours);
}

}  // namespace vendrix
