#include "gui/CreditPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace vendrix {
namespace {

// A symbol filling the square `box`.
QPainterPath Heart(const QRectF& box) {
  QPainterPath path;
  double x = box.x(), y = box.y(), w = box.width(), h = box.height();
  path.moveTo(x + w / 2, y + h * 0.92);
  path.cubicTo(x - w * 0.1, y + h * 0.45, x + w * 0.15, y - h * 0.05, x + w / 2, y + h * 0.28);
  path.cubicTo(x + w * 0.85, y - h * 0.05, x + w * 1.1, y + h * 0.45, x + w / 2, y + h * 0.92);
  return path;
}

QPainterPath Diamond(const QRectF& box) {
  QPainterPath path;
  path.moveTo(box.center().x(), box.top() + 1);
  path.lineTo(box.right() - 1, box.center().y());
  path.lineTo(box.center().x(), box.bottom() - 1);
  path.lineTo(box.left() + 1, box.center().y());
  path.closeSubpath();
  return path;
}

QPainterPath Crown(const QRectF& box) {
  QPainterPath path;
  double x = box.x(), y = box.y(), w = box.width(), h = box.height();
  path.moveTo(x + w * 0.08, y + h * 0.85);
  path.lineTo(x + w * 0.08, y + h * 0.25);
  path.lineTo(x + w * 0.3, y + h * 0.5);
  path.lineTo(x + w * 0.5, y + h * 0.12);
  path.lineTo(x + w * 0.7, y + h * 0.5);
  path.lineTo(x + w * 0.92, y + h * 0.25);
  path.lineTo(x + w * 0.92, y + h * 0.85);
  path.closeSubpath();
  return path;
}

}  // namespace

QList<QPixmap> DrawCreditPictures(QSize size) {
  struct Kind {
    QColor fill;
    QPainterPath (*shape)(const QRectF&);
  };
  const Kind kinds[] = {{QColor(230, 30, 40), Heart},
                        {QColor(40, 110, 230), Diamond},
                        {QColor(40, 110, 230), Crown},
                        {QColor(235, 170, 20), Crown}};
  // Five symbols must fit the width; each is a square no taller than the picture.
  double step = std::min<double>(size.height(), size.width() / 5.0);
  QList<QPixmap> pictures;
  for (int level = 1; level <= 20; ++level) {
    const Kind& kind = kinds[(level - 1) / 5];
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kind.fill.darker(130), 1));
    painter.setBrush(kind.fill);
    double top = (size.height() - step) / 2;
    for (int i = 0; i < (level - 1) % 5 + 1; ++i) {
      painter.drawPath(kind.shape(QRectF(i * step + 1, top + 1, step - 2, step - 2)));
    }
    painter.end();
    pictures.append(pixmap);
  }
  return pictures;
}

}  // namespace vendrix
