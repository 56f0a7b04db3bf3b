#include "gui/WindowCentring.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace vendrix {

QPoint CentredFramePosition(QSize screen, QSize frame) {
  return QPoint((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2 - 10);
}

TWindowCentring::TWindowCentring(QWidget* window) : QObject(window), window_(window) {
  window->installEventFilter(this);
}

bool TWindowCentring::eventFilter(QObject* watched, QEvent* event) {
  QEvent::Type type = event->type();
  if (watched != window_ || centred_ ||
      (type != QEvent::Move && type != QEvent::Resize && type != QEvent::WindowActivate)) {
    return false;
  }
  // The manager reports its frame around the time it places the window, which moves it.
  QWindow* handle = window_->windowHandle();
  if (handle == nullptr || !window_->isVisible() || window_->windowState() != Qt::WindowNoState) {
    return false;
  }
  QMargins margins = handle->frameMargins();
  if (margins.isNull()) return false;
  centred_ = true;
  // QWidget::move places a window's frame.
  QSize frame = window_->size().grownBy(margins);
  window_->move(CentredFramePosition(window_->screen()->geometry().size(), frame));
  return false;
}

}  // namespace vendrix
