// The seller list's context menu: copy a row's nick, copy its shop's affiliate address, export
// the list, and the further search conditions. It acts on the row under the pointer without
// changing the selection or the page: the right button never reaches the list itself. Window
// thread only.
#pragma once

#include <QObject>
#include <functional>

class QMenu;
class QTableWidget;

namespace vendrix {

class TSellerListMenu : public QObject {
 public:
  struct Actions {
    std::function<void(int row)> copy_nick;
    std::function<void(int row)> copy_shop_link;
    std::function<void()> export_list;
    std::function<void()> more_conditions;
  };

  TSellerListMenu(QTableWidget* list, Actions actions);

  // The menu last shown, while it is open; for tests that drive it.
  QMenu* Shown() const { return shown_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show(const QPoint& position);

  QTableWidget* list_;
  Actions actions_;
  QMenu* shown_ = nullptr;
};

}  // namespace vendrix
