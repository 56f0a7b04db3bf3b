#include "gui/SellerListDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

namespace vendrix {

void TSellerListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  QString text = item.text;
  QVariant picture = index.data(Qt::DecorationRole);

  // The style draws the cell's ground (selection, focus); text and picture are drawn centred.
  item.text.clear();
  item.icon = QIcon();
  item.features &= ~QStyleOptionViewItem::HasDecoration;
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

  if (picture.canConvert<QPixmap>()) {
    QPixmap pixmap = picture.value<QPixmap>();
    QRect target(QPoint(0, 0), pixmap.size());
    target.moveCenter(option.rect.center());
    painter->drawPixmap(target, pixmap);
  }
  if (!text.isEmpty()) {
    bool selected = option.state & QStyle::State_Selected;
    QColor color = index.row() == hot_row_ ? HotColor()
                   : selected              ? item.palette.color(QPalette::HighlightedText)
                                           : item.palette.color(QPalette::Text);
    painter->save();
    painter->setPen(color);
    painter->setFont(item.font);
    painter->drawText(option.rect, Qt::AlignCenter, text);
    painter->restore();
  }
}

}  // namespace vendrix
