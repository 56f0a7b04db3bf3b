#include "gui/AddressLabel.h"

#include <QMouseEvent>

namespace vendrix {

TAddressLabel::TAddressLabel(QWidget* parent) : QLabel(parent) {}

void TAddressLabel::SetAddress(const QString& address) {
  address_ = address;
  if (largest_pixel_size_ == 0) largest_pixel_size_ = font().pixelSize();
  setToolTip(address);
  Fit();
}

void TAddressLabel::Fit() {
  QString text = address_;
  if (text.startsWith("http://")) text.remove(0, 7);
  if (text.endsWith('/')) text.chop(1);
  QString shorter = text.startsWith("www.") ? text.mid(4) : text;
  int width = contentsRect().width();
  QFont fitted = font();
  // The largest size first: "vendrix.net" in the design's size reads better than
  // "www.vendrix.net" in a smaller one.
  for (int size = largest_pixel_size_; size >= address_label_defaults::kSmallestPixelSize; --size) {
    fitted.setPixelSize(size);
    QFontMetrics metrics(fitted);
    for (const QString& candidate : {text, shorter}) {
      if (metrics.horizontalAdvance(candidate) <= width) {
        setFont(fitted);
        setText(candidate);
        return;
      }
    }
  }
  setFont(fitted);
  setText(QFontMetrics(fitted).elidedText(shorter, Qt::ElideMiddle, width));
}

void TAddressLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  if (!address_.isEmpty()) Fit();
}

void TAddressLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  // Accepted, so that the release comes here wherever it happens.
  pressed_ = rect().contains(event->position().toPoint());
  event->accept();
}

void TAddressLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    bool inside = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (inside) emit clicked();
  }
  QLabel::mouseReleaseEvent(event);
}

}  // namespace vendrix
