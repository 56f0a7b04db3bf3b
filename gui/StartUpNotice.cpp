#include "gui/StartUpNotice.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <cstdio>

#include "app/ShopFinder.h"
#include "app/TableText.h"
#include "gui/Unit1.h"

namespace vendrix {

TStartUpNotice::TStartUpNotice(QWidget* form, std::function<void()> edit_account)
    : QObject(form), form_(form), edit_account_(std::move(edit_account)) {
  timer_.setSingleShot(true);
  timer_.setInterval(start_up_defaults::kNoticeAfterMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    // A window of its own: the main window is not built to be seen yet.
    notice_ = std::make_unique<QLabel>(QString::fromUtf8("Vendrix 正在启动,请稍等......"));
    notice_->setObjectName("StartUpNotice");
    notice_->setWindowFlags(Qt::SplashScreen);
    // Its going, before the window is shown, is not the program's end.
    notice_->setAttribute(Qt::WA_QuitOnClose, false);
    notice_->setWindowTitle(window_defaults::kProductName);
    notice_->setFrameShape(QFrame::Box);
    notice_->setMargin(16);
    notice_->setFont(form_->font());
    notice_->adjustSize();
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    notice_->move(screen.center() - notice_->rect().center());
    notice_->show();
  });
}

TStartUpNotice::~TStartUpNotice() = default;

void TStartUpNotice::Begin() { timer_.start(); }

void TStartUpNotice::Done(const ShopFinder& finder) {
  timer_.stop();
  notice_.reset();
  // What start-up passed over among the user's own credentials (a keyring that stayed locked).
  for (const std::string& note : finder.CredentialNotes()) {
    std::fprintf(stderr, "vendrix: %s\n", CellText(note).c_str());
  }
  // Credentials of the user's own stand in for a document that could not be read.
  unreadable_ = !finder.StartedUp();
  if (!unreadable_) return;
  // The reason of the failed load is the document service's, kept until its next operation.
  address_ = QString::fromStdString(finder.GetSettings().VendorBase + ConfigPath);
  reason_ = QString::fromStdString(CellText(finder.XMLData1.LastError()));
}

bool TStartUpNotice::ConfigurationUnreadable() {
  if (!unreadable_) return false;
  // Said once the window is up: the first search starts before it is shown.
  QTimer::singleShot(0, form_, [this] {
    QMessageBox box(QMessageBox::Warning, window_defaults::kProductName,
                    QString::fromUtf8("配置读取失败，无法搜索卖家。\n%1\n%2\n\n"
                                      "有自己的淘宝开放平台应用时，可在“账户设置”中填写应用 Key、"
                                      "应用密钥和推广者昵称：Vendrix 就能不经供应商的服务器使用。")
                        .arg(address_, reason_),
                    QMessageBox::Ok, form_);
    QPushButton* account =
        box.addButton(QString::fromUtf8("账户设置..."), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == account) edit_account_();
  });
  return true;
}

}  // namespace vendrix
