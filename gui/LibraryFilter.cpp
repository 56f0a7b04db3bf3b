#include "gui/LibraryFilter.h"

#include <QKeyEvent>

namespace vendrix {

TLibraryFilter::TLibraryFilter(std::function<void(const QString& text)> search, QWidget* parent)
    : QLineEdit(parent), search_(std::move(search)) {
  setObjectName("LibraryFilter");
  setClearButtonEnabled(true);
  setPlaceholderText(QString::fromUtf8("筛选：标题、卖家、编号或备注"));
  pause_.setSingleShot(true);
  pause_.setInterval(library_filter_defaults::kPauseMs);
  connect(&pause_, &QTimer::timeout, this, [this] { SearchNow(); });
  connect(this, &QLineEdit::textChanged, this, [this] { pause_.start(); });
}

void TLibraryFilter::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    SearchNow();
    return;
  }
  if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
    clear();
    SearchNow();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TLibraryFilter::SearchNow() {
  pause_.stop();
  QString text = this->text().trimmed();
  // A pause after keys that changed nothing the search sees asks nothing again.
  if (text == searched_) return;
  searched_ = text;
  search_(text);
}

}  // namespace vendrix
