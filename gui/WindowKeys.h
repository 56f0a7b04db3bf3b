// The window's keyboard: Enter presses 确定 in the search box and shows the current row's page
// in the seller list; a selection moved by keys shows its row's page once it has rested; Tab
// and Shift+Tab lead out of the page as out of any control, Ctrl+C there copies the page's
// selected text; the focus a search takes away comes back when it ends. Every other key aimed
// at the page stays dropped by the window. Window thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QKeyEvent;
class QWidget;

namespace vendrix {

class TForm1;

namespace window_keys_defaults {
// How long a selection moved by keys rests before its row's page is asked for: holding an
// arrow key down walks the rows without a page load for each.
inline constexpr int kSelectionRestMs = 200;
}  // namespace window_keys_defaults

class TWindowKeys : public QObject {
 public:
  struct Actions {
    std::function<void()> press_button1;      // as a press of 确定 does, the count committed
    std::function<void(int row)> show_page;   // asks for row `row`'s shop page
  };

  TWindowKeys(TForm1& form, Actions actions);

  // A key press the application saw, aimed at `target`, before its receiver: true when it was
  // handled here and goes no further.
  bool KeyPress(QObject* target, QKeyEvent* key);
  // A search is about to disable the controls: where the focus is now is where it returns to.
  void SearchStarting();
  // The search's end has enabled the controls: the focus goes back where it was, or, when it
  // was nowhere in the window (the first search), to the first control.
  void SearchEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool InPage(const QObject* target) const;
  int SelectedRow() const;
  // Moves the focus from the page to the next (or previous) control that takes Tab.
  void LeavePage(bool forward);

  TForm1& form_;
  Actions actions_;
  QTimer rest_;              // runs while a selection moved by keys rests
  int rest_from_ = -1;       // the row selected before the keys moved it
  QPointer<QWidget> focus_;  // where the focus was when the search started
};

}  // namespace vendrix
