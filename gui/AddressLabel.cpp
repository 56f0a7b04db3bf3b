#include "gui/AddressLabel.h"

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

}  // namespace vendrix
