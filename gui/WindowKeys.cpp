#include "gui/WindowKeys.h"

#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QWebEngineView>

#include "gui/Unit1.h"

namespace vendrix {

TWindowKeys::TWindowKeys(TForm1& form, Actions actions)
    : QObject(&form), form_(form), actions_(std::move(actions)) {
  // The list is one stop of Tab, as every other control is, not a walk through its cells.
  form_.ListView1->setTabKeyNavigation(false);
  rest_.setSingleShot(true);
  rest_.setInterval(window_keys_defaults::kSelectionRestMs);
  connect(&rest_, &QTimer::timeout, this, [this] {
    int row = SelectedRow();
    // Keys that led back to where they started ask for nothing again.
    if (row >= 0 && row != rest_from_ && form_.ListView1->isEnabled()) actions_.show_page(row);
  });
  // A click shows its own row's page at once; a rest begun by keys before it is over.
  form_.ListView1->viewport()->installEventFilter(this);
}

bool TWindowKeys::KeyPress(QObject* target, QKeyEvent* key) {
  auto* widget = qobject_cast<QWidget*>(target);
  if (widget == nullptr || widget->window() != &form_) return false;
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;

  if (InPage(widget)) {
    if (key->matches(QKeySequence::Copy)) {
      // As text: a nick or a title goes where it is pasted without the page's markup. With
      // nothing selected the clipboard keeps what it holds.
      QString selected = form_.WebBrowser1->selectedText();
      if (!selected.isEmpty()) QGuiApplication::clipboard()->setText(selected);
      return true;
    }
    // Tab leaves the page as it leaves any control; the page itself gets no key at all.
    if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      if (key->key() == Qt::Key_Backtab ||
          (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier))) {
        LeavePage(false);
        return true;
      }
      if (key->key() == Qt::Key_Tab) {
        LeavePage(true);
        return true;
      }
    }
    return false;
  }

  QTableWidget* list = form_.ListView1;
  if (widget == list) {
    if (enter) {
      rest_.stop();
      int row = list->currentRow();
      if (row >= 0 && list->isEnabled()) {
        list->selectRow(row);
        actions_.show_page(row);
      }
      return true;
    }
    // A table's Home and End stay in the row; in a list of rows they go to the first and the
    // last, which the table does with Ctrl.
    if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
        key->modifiers() == Qt::NoModifier) {
      QKeyEvent to_row(QEvent::KeyPress, key->key(), Qt::ControlModifier);
      QCoreApplication::sendEvent(list, &to_row);
      return true;
    }
    // Whether this key moves the selection is known once the list has handled it.
    int before = SelectedRow();
    QTimer::singleShot(0, this, [this, before] {
      if (SelectedRow() == before) return;
      if (!rest_.isActive()) rest_from_ = before;
      rest_.start();
    });
    return false;
  }

  // 确定 is the search box's default button; with nothing focused, Enter still presses it.
  if (enter && (widget == &form_ || form_.GroupBox1->isAncestorOf(widget)) &&
      form_.Button1->isEnabled()) {
    actions_.press_button1();
    return true;
  }
  return false;
}

void TWindowKeys::SearchStarting() {
  rest_.stop();
  focus_ = form_.focusWidget();
}

void TWindowKeys::SearchEnded() {
  QWidget* target = focus_;
  if (target == nullptr || !target->isEnabled() || !target->isVisibleTo(&form_)) {
    target = form_.ComboBox1;
  }
  target->setFocus(Qt::OtherFocusReason);
}

bool TWindowKeys::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_.ListView1->viewport() && event->type() == QEvent::MouseButtonPress) {
    rest_.stop();
  }
  return QObject::eventFilter(watched, event);
}

bool TWindowKeys::InPage(const QObject* target) const {
  auto* widget = qobject_cast<const QWidget*>(target);
  return widget != nullptr &&
         (widget == form_.WebBrowser1 || form_.WebBrowser1->isAncestorOf(widget));
}

int TWindowKeys::SelectedRow() const {
  QModelIndexList rows = form_.ListView1->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TWindowKeys::LeavePage(bool forward) {
  // The window's focus chain, from the page on, passing over the page's own parts.
  QWidget* page = form_.WebBrowser1;
  for (QWidget* next = page;;) {
    next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
    if (next == page) return;
    if (InPage(next) || next->window() != &form_ || !next->isEnabled() ||
        !next->isVisibleTo(&form_) || !(next->focusPolicy() & Qt::TabFocus)) {
      continue;
    }
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return;
  }
}

}  // namespace vendrix
