// Centres the main window by its outer frame. FormCreate centres the window before a window
// manager has framed it, by its inner size; once the frame is known, the frame is centred the
// same way, once. Without a window manager nothing moves again. Window thread only.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

class QWidget;

namespace vendrix {

// Where a frame of `frame` goes on a screen of `screen`: left = (screen width - frame width) /
// 2, top = (screen height - frame height) / 2 - 10, the divisions truncating toward zero.
QPoint CentredFramePosition(QSize screen, QSize frame);

class TWindowCentring : public QObject {
 public:
  // Watches `window`, a top-level widget, and is owned by it.
  explicit TWindowCentring(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  bool centred_ = false;
};

}  // namespace vendrix
