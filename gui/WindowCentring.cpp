#include "gui/WindowCentring.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>

namespace vendrix {

QPoint KeptInside(const QRect& available, QPoint position, QSize frame) {
  // The bottom right edge first, the top left last: a frame larger than the area keeps its
  // title bar on the screen.
  int x = std::max(std::min(position.x(), available.x() + available.width() - frame.width()),
                   available.x());
  int y = std::max(std::min(position.y(), available.y() + available.height() - frame.height()),
                   available.y());
  return QPoint(x, y);
}

QPoint CentredFramePosition(const QRect& screen, const QRect& available, QSize frame) {
  QPoint centred(screen.x() + (screen.width() - frame.width()) / 2,
                 screen.y() + (screen.height() - frame.height()) / 2 - 10);
  return KeptInside(available, centred, frame);
}

TWindowCentring::TWindowCentring(QWidget* window, QSize design)
    : QObject(window), window_(window), design_(design) {
  BoundMinimumSize(QMargins());
  window->installEventFilter(this);
  // The frame a manager draws around a restored window may be reported after the last move
  // and resize it makes: until it has settled the window is fitted again now and then.
  settling_.setInterval(centring_defaults::kSettleCheckMs);
  connect(&settling_, &QTimer::timeout, this, [this] {
    if (fitting_.hasExpired()) settling_.stop();
    Fit();
  });
}

QSize TWindowCentring::Room(const QMargins& margins) const {
  QSize room = window_->screen()->availableGeometry().size().shrunkBy(margins);
  // At a fractional scale the screen's pixels, the frame's and the window's are each rounded
  // to whole pixels of the window's own: together they may overshoot the screen by one.
  qreal scale = window_->devicePixelRatioF();
  if (scale != std::floor(scale)) room -= QSize(1, 1);
  return room;
}

void TWindowCentring::BoundMinimumSize(const QMargins& margins) {
  // A window whose minimum exceeds the screen could never be brought wholly onto it.
  window_->setMinimumSize(design_.boundedTo(Room(margins)));
}

void TWindowCentring::Centre() {
  QScreen* screen = window_->screen();
  QRect available = screen->availableGeometry();
  if (!available.contains(QRect(available.topLeft(), design_))) {
    // Its normal size fits too, for when the user restores it.
    window_->resize(design_.boundedTo(available.size()));
    window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
  }
  window_->move(
      CentredFramePosition(screen->geometry(), available, window_->frameGeometry().size()));
}

bool TWindowCentring::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  QEvent::Type type = event->type();
  if (type == QEvent::WindowStateChange) {
    // Restored from maximised, the window is brought wholly onto the screen again.
    if ((static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMaximized) &&
        window_->windowState() == Qt::WindowNoState) {
      fitting_ = QDeadlineTimer(centring_defaults::kSettleMs);
      settling_.start();
    }
    return false;
  }
  if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowActivate) Fit();
  return false;
}

void TWindowCentring::Fit() {
  // The manager reports its frame around the time it places the window, which moves it.
  QWindow* handle = window_->windowHandle();
  if (handle == nullptr || !window_->isVisible()) return;
  QMargins margins = handle->frameMargins();
  if (margins.isNull()) return;
  BoundMinimumSize(margins);
  // A window that opened maximised is centred once the user restores it.
  if (window_->windowState() != Qt::WindowNoState) return;
  QScreen* screen = window_->screen();
  QRect available = screen->availableGeometry();
  // Until the manager has settled (it may place the window again, and places a restored one
  // where it was before it was maximised: on a small screen, partly off it), the window is
  // kept as large as the screen shows whole, and on it. Then it is the user's to place.
  if (centred_ && fitting_.hasExpired()) return;
  QSize room = Room(margins);
  if (window_->width() > room.width() || window_->height() > room.height()) {
    window_->resize(window_->size().boundedTo(room));
  }
  QSize frame = window_->size().grownBy(margins);
  QPoint place = KeptInside(available, window_->pos(), frame);
  if (!centred_) {
    centred_ = true;
    fitting_ = QDeadlineTimer(centring_defaults::kSettleMs);
    settling_.start();
    place = CentredFramePosition(screen->geometry(), available, frame);
  }
  // QWidget::pos and move are the frame's.
  if (place != window_->pos()) window_->move(place);
}

}  // namespace vendrix
