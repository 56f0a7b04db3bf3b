// The vendor's address on the search box (Label2). The address keeps the label's place: when
// it does not fit at the label's pixel size it is shown smaller (down to 9 pixels) and without
// a leading "www.", and elided in the middle only when neither is enough; the whole address is
// its tooltip. A click is a release of the left button inside the label after a press inside
// it. Window thread only.
#pragma once

#include <QLabel>

namespace vendrix {

namespace address_label_defaults {
inline constexpr int kSmallestPixelSize = 9;
}  // namespace address_label_defaults

class TAddressLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TAddressLabel(QWidget* parent);

  // Shows `address` ("http://www.vendrix.net/" as "www.vendrix.net") fitted to the label, at
  // most at the font's pixel size when it is first called.
  void SetAddress(const QString& address);

 signals:
  void clicked();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Fit();

  QString address_;
  int largest_pixel_size_ = 0;
  bool pressed_ = false;
};

}  // namespace vendrix
