#include "gui/WindowMenu.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>

#include "VendrixVersion.h"

namespace vendrix {

TWindowMenu::TWindowMenu(QWidget* window, QString vendor_address, Actions actions)
    : QObject(window),
      window_(window),
      vendor_address_(std::move(vendor_address)),
      actions_(std::move(actions)) {
  bar_ = new QMenuBar(window);
  bar_->setObjectName("WindowMenu");
  // In the window on every desktop: a global menu would leave the window without its bar.
  bar_->setNativeMenuBar(false);

  File = AddMenu(QString::fromUtf8("文件"), Qt::Key_F);
  ExportList =
      File->addAction(QString::fromUtf8("导出卖家列表..."), [this] { actions_.export_list(); });
  File->addSeparator();
  Quit = File->addAction(QString::fromUtf8("退出"), [this] { actions_.quit(); });
  Quit->setShortcut(QKeySequence::Quit);
  // The list it exports is the one shown when the menu opens.
  connect(File, &QMenu::aboutToShow, this,
          [this] { ExportList->setEnabled(actions_.can_export()); });

  Settings = AddMenu(QString::fromUtf8("设置"), Qt::Key_S);
  AccountSettings = Settings->addAction(QString::fromUtf8("账户设置..."),
                                        [this] { actions_.account_settings(); });
  MoreConditions = Settings->addAction(QString::fromUtf8("更多搜索条件..."),
                                       [this] { actions_.more_conditions(); });

  Help = AddMenu(QString::fromUtf8("帮助"), Qt::Key_H);
  About = Help->addAction(QString::fromUtf8("关于 Vendrix"), [this] { ShowAbout(); });

  // F10 opens the first menu, as in most desktop programs.
  auto* first = new QShortcut(QKeySequence(Qt::Key_F10), window);
  connect(first, &QShortcut::activated, this, [this] {
    if (QAction* menu = bar_->actions().value(0)) OpenByKey(menu->menu());
  });
}

QMenu* TWindowMenu::AddMenu(const QString& title, int letter) {
  auto* menu = new QMenu(title, bar_);
  // 帮助 stays last, where users look for it.
  if (Help != nullptr) {
    bar_->insertMenu(Help->menuAction(), menu);
  } else {
    bar_->addMenu(menu);
  }
  if (letter != 0) {
    // A marked letter ("文件(&F)") would change the menu's text; the shortcut does its work.
    auto* open = new QShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(letter)), window_);
    connect(open, &QShortcut::activated, this, [this, menu] { OpenByKey(menu); });
  }
  return menu;
}

void TWindowMenu::OpenByKey(QMenu* menu) {
  if (menu == nullptr || !menu->menuAction()->isEnabled()) return;
  bar_->setActiveAction(menu->menuAction());
  // Opened from the keyboard, its first entry is the one Enter picks, as with a marked letter.
  for (QAction* entry : menu->actions()) {
    if (!entry->isSeparator() && entry->isEnabled() && entry->isVisible()) {
      menu->setActiveAction(entry);
      return;
    }
  }
}

int TWindowMenu::Place(int width) {
  int height = bar_->heightForWidth(width);
  if (height <= 0) height = bar_->sizeHint().height();
  bar_->setGeometry(0, 0, width, height);
  return height;
}

void TWindowMenu::ShowAbout() {
  QMessageBox::about(window_, QString::fromUtf8("关于 Vendrix"),
                     QString::fromUtf8("Vendrix " VENDRIX_VERSION "\n\n"
                                       "淘宝客的店铺搜索工具：按类目、信用等级和地区查找卖家，"
                                       "店铺和商品的点击都转为您的推广链接。\n\n") +
                         vendor_address_);
}

}  // namespace vendrix
