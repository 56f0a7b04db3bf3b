// Places the main window on its screen: centred by its outer frame, never larger than the
// screen's available area shows whole, maximised on a screen too small for its design.
// FormCreate centres the window before a window manager has framed it, by its inner size; once
// the frame is known, the frame is centred the same way, once. Without a window manager nothing
// moves again. Window thread only.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>

class QWidget;

namespace vendrix {

namespace centring_defaults {
// How long after it is shown or restored the window manager may still place the window.
inline constexpr int kSettleMs = 1000;
inline constexpr int kSettleCheckMs = 100;  // how often the window is fitted again meanwhile
}  // namespace centring_defaults

// Where a frame of `frame` at `position` goes to lie inside `available` as far as it fits
// there, its top left corner last, so that the title bar and its buttons stay on the screen.
QPoint KeptInside(const QRect& available, QPoint position, QSize frame);

// Where a frame of `frame` goes: centred on `screen` (left = (screen width - frame width) / 2,
// top = (screen height - frame height) / 2 - 10, the divisions truncating toward zero), then
// kept inside `available`.
QPoint CentredFramePosition(const QRect& screen, const QRect& available, QSize frame);

class TWindowCentring : public QObject {
 public:
  // Watches `window`, a top-level widget of the size `design`, and is owned by it. The window
  // cannot be made smaller than its design, nor than the screen's available area can show.
  TWindowCentring(QWidget* window, QSize design);

  // Before the window is first shown: centres it by its inner size; on a screen whose
  // available area the design does not fit, the window opens maximised instead.
  void Centre();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The largest size the screen's available area shows whole with frame margins `margins`.
  QSize Room(const QMargins& margins) const;
  // Lets the window be made no smaller than its design, or than that room.
  void BoundMinimumSize(const QMargins& margins);
  // Once the frame is known: the minimum bounded by it and, until the manager has settled, the
  // window kept wholly on the screen (centred the first time).
  void Fit();

  QWidget* window_;
  QSize design_;
  bool centred_ = false;
  QDeadlineTimer fitting_;  // until then the window is kept wholly on the screen
  QTimer settling_;         // fits the window again while the manager settles
};

}  // namespace vendrix
