// The seller list's context menu: copy a row's nick, copy its shop's affiliate address, save
// its shop in the library or take it out (收藏店铺 / 取消收藏), export the list, and the further
// search conditions. It acts on the row under the pointer without
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
    std::function<bool(int row)> shop_saved;   // whether the row's shop is in the library
    std::function<bool()> can_save;            // whether the library can be written now
    std::function<void(int row)> save_shop;    // 收藏店铺
    std::function<void(int row)> unsave_shop;  // 取消收藏
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
