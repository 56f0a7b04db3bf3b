#include "gui/CountSpinBox.h"

#include <QLineEdit>

#include "app/ShopFinder.h"

namespace vendrix {

TCountSpinBox::TCountSpinBox(QWidget* parent) : QSpinBox(parent) {
  setRange(1, finder_defaults::kMaxCount);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State TCountSpinBox::validate(QString& text, int&) const {
  // Digits of any size may stand while typing; they are brought into range afterwards.
  for (QChar c : text) {
    if (!c.isDigit() && c != '-') return QValidator::Invalid;
  }
  bool ok = false;
  int value = text.toInt(&ok);
  return ok && value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                          : QValidator::Intermediate;
}

void TCountSpinBox::fixup(QString& text) const {
  text = QString::number(ShopFinder::ClampCount(text.toStdString()));
}

void TCountSpinBox::focusOutEvent(QFocusEvent* event) {
  Commit();
  QSpinBox::focusOutEvent(event);
}

int TCountSpinBox::Commit() {
  int count = ShopFinder::ClampCount(lineEdit()->text().toStdString());
  setValue(count);
  lineEdit()->setText(QString::number(count));
  return count;
}

}  // namespace vendrix
