#include "gui/SellerListDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>
#include <cmath>

namespace vendrix {
namespace {

constexpr double kLegibleContrast = 4.5;  // WCAG 2, level AA, for text of normal size
constexpr int kTextMargin = 3;            // blank pixels kept at each side of a cell's text

// The space a cell's text may take.
QRect TextRect(const QRect& cell) { return cell.adjusted(kTextMargin, 0, -kTextMargin, 0); }

double RelativeLuminance(const QColor& colour) {
  auto linear = [](double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  QColor rgb = colour.toRgb();
  return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

// The contrast ratio of two colours as WCAG 2 defines it, from 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b) {
  double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

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
    // The colours of the group the style draws the ground in: a list disabled during a search,
    // or in a window that is not active, has other ones.
    QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                 : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                         : QPalette::Inactive;
    QColor color = index.row() == hot_row_ ? HotColor()
                   : selected ? item.palette.color(group, QPalette::HighlightedText)
                              : item.palette.color(group, QPalette::Text);
    if (selected) {
      // Over the selection the text must stay legible, whatever colours the style chose: the
      // hot colour gives way to the selection's text colour, and that to black or white.
      QColor ground = item.palette.color(group, QPalette::Highlight);
      for (const QColor& fallback : {item.palette.color(group, QPalette::HighlightedText),
                                     QColor(Qt::white), QColor(Qt::black)}) {
        if (ContrastRatio(color, ground) >= kLegibleContrast) break;
        if (ContrastRatio(fallback, ground) > ContrastRatio(color, ground)) color = fallback;
      }
    }
    QRect space = TextRect(option.rect);
    painter->save();
    painter->setPen(color);
    painter->setFont(item.font);
    if (index.data(kSavedRole).toBool()) {
      // The star goes before the nick and the two stay centred together.
      const QString star = QString::fromUtf8("★ ");
      const QFontMetrics metrics = painter->fontMetrics();
      const int star_width = metrics.horizontalAdvance(star);
      QString shown = metrics.elidedText(text, Qt::ElideRight, space.width() - star_width);
      const int width = star_width + metrics.horizontalAdvance(shown);
      QRect line(space.left() + (space.width() - width) / 2, space.top(), width, space.height());
      painter->setPen(SavedColor());
      painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, star);
      painter->setPen(color);
      painter->drawText(line.adjusted(star_width, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                        shown);
    } else {
      // A text wider than its column keeps its beginning, the part a user reads and
      // recognises.
      painter->drawText(space, Qt::AlignCenter,
                        painter->fontMetrics().elidedText(text, Qt::ElideRight, space.width()));
    }
    painter->restore();
  }
}

bool TSellerListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip) {
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  }
  QString text = index.data(Qt::DisplayRole).toString();
  QFontMetrics metrics(option.font);
  int room = TextRect(option.rect).width();
  if (index.data(kSavedRole).toBool()) room -= metrics.horizontalAdvance(QString::fromUtf8("★ "));
  if (text.isEmpty() || metrics.horizontalAdvance(text) <= room) {
    QToolTip::hideText();
    return true;
  }
  // A nick is the platform's text: shown as it is, never read as markup.
  QToolTip::showText(event->globalPos(), "<qt>" + text.toHtmlEscaped() + "</qt>",
                     view->viewport(), option.rect);
  return true;
}

}  // namespace vendrix
