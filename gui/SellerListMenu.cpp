#include "gui/SellerListMenu.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTableWidget>

namespace vendrix {

TSellerListMenu::TSellerListMenu(QTableWidget* list, Actions actions)
    : QObject(list), list_(list), actions_(std::move(actions)) {
  list_->viewport()->installEventFilter(this);
  // The menu key and Shift+F10 reach the list itself, not its viewport.
  list_->installEventFilter(this);
}

bool TSellerListMenu::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_) {
    // A right-click on the header reaches the list too; only the keyboard's menu is ours.
    if (event->type() != QEvent::ContextMenu ||
        static_cast<QContextMenuEvent*>(event)->reason() != QContextMenuEvent::Keyboard) {
      return false;
    }
    // The menu of the current row, where that row is, scrolled into view first.
    QModelIndex current = list_->currentIndex();
    if (current.isValid()) list_->scrollTo(current);
    Show(current.isValid() ? list_->visualRect(current).center() : QPoint(0, 0));
    return true;
  }
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      // A right press would select the row under it; the menu must leave the selection alone.
      return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    case QEvent::ContextMenu:
      Show(static_cast<QContextMenuEvent*>(event)->pos());
      return true;
    default:
      return false;
  }
}

void TSellerListMenu::Show(const QPoint& position) {
  QTableWidgetItem* item = list_->itemAt(position);
  int row = item != nullptr ? item->row() : -1;
  auto* menu = new QMenu(list_);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // The list is disabled during a search, so no search replaces its rows under an open menu.
  QAction* nick =
      menu->addAction(QString::fromUtf8("复制卖家昵称"), [this, row] { actions_.copy_nick(row); });
  QAction* link = menu->addAction(QString::fromUtf8("复制店铺推广链接"),
                                  [this, row] { actions_.copy_shop_link(row); });
  nick->setEnabled(row >= 0);
  link->setEnabled(row >= 0);
  const bool saved = row >= 0 && actions_.shop_saved(row);
  QAction* keep = menu->addAction(
      QString::fromUtf8(saved ? "取消收藏" : "收藏店铺"),
      [this, row, saved] { saved ? actions_.unsave_shop(row) : actions_.save_shop(row); });
  keep->setEnabled(row >= 0 && actions_.can_save());
  menu->addSeparator();
  QAction* save =
      menu->addAction(QString::fromUtf8("导出卖家列表..."), [this] { actions_.export_list(); });
  save->setEnabled(list_->rowCount() > 0);
  menu->addAction(QString::fromUtf8("更多搜索条件..."), [this] { actions_.more_conditions(); });
  shown_ = menu;
  connect(menu, &QObject::destroyed, this, [this, menu] {
    if (shown_ == menu) shown_ = nullptr;
  });
  menu->popup(list_->viewport()->mapToGlobal(position));
}

}  // namespace vendrix
