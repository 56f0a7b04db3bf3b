// The window's menu bar, above the design's client area: 文件 (导出卖家列表..., 退出), 设置
// (账户设置..., 更多搜索条件...) and 帮助 (关于 Vendrix). Each entry calls its hook; AddMenu puts
// a further menu before 帮助. Alt with a menu's letter (F, S, H) opens it, and F10 the first; the
// texts stay exactly as they are, without a marked letter. Window thread only.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace vendrix {

class TWindowMenu : public QObject {
 public:
  struct Actions {
    std::function<void()> export_list;
    std::function<bool()> can_export;  // whether 导出卖家列表... can be picked now
    std::function<void()> quit;
    std::function<void()> account_settings;
    std::function<void()> more_conditions;
  };

  // Puts the bar on `window`, whose top it takes once Place is called; 关于 Vendrix names
  // `vendor_address`.
  TWindowMenu(QWidget* window, QString vendor_address, Actions actions);

  // Lays the bar along the top of the window, `width` wide; returns its height, below which the
  // client area lies.
  int Place(int width);
  // Adds an empty menu titled `title` before 帮助, opened by Alt+`letter` (a Qt::Key, 0 for
  // none); its entries are the caller's.
  QMenu* AddMenu(const QString& title, int letter);

  QMenuBar* Bar() const { return bar_; }

  // The menus and entries, for enabling and disabling.
  QMenu* File = nullptr;
  QMenu* Settings = nullptr;
  QMenu* Help = nullptr;
  QAction* ExportList = nullptr;
  QAction* Quit = nullptr;
  QAction* AccountSettings = nullptr;
  QAction* MoreConditions = nullptr;
  QAction* About = nullptr;

 private:
  // Opens `menu` with its first entry that can be picked highlighted.
  void OpenByKey(QMenu* menu);
  void ShowAbout();

  QWidget* window_;
  QString vendor_address_;
  Actions actions_;
  QMenuBar* bar_ = nullptr;
};

}  // namespace vendrix
