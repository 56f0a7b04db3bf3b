// The library window's filter box: what is typed is searched for once typing pauses, so that
// a query runs for the word and not for each of its keys; Enter searches at once, Escape
// clears it. Window thread only.
#pragma once

#include <QLineEdit>
#include <QTimer>
#include <functional>

namespace vendrix {

namespace library_filter_defaults {
inline constexpr int kPauseMs = 250;  // how long typing rests before the search runs
}  // namespace library_filter_defaults

class TLibraryFilter : public QLineEdit {
 public:
  // `search(text)` hears the text (trimmed) whenever it changed and typing paused.
  TLibraryFilter(std::function<void(const QString& text)> search, QWidget* parent);

  // The text searched for last.
  const QString& Searched() const { return searched_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SearchNow();

  std::function<void(const QString&)> search_;
  QTimer pause_;
  QString searched_;
};

}  // namespace vendrix
