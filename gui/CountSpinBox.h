// The count box (SpinEdit1): any number may be typed; a value outside 1-120 becomes the nearer
// limit when the box loses the focus, and text that is no number counts as 1. Window thread.
#pragma once

#include <QSpinBox>

namespace vendrix {

class TCountSpinBox : public QSpinBox {
 public:
  explicit TCountSpinBox(QWidget* parent = nullptr);

  // The count the text stands for, clamped, and the box set to it.
  int Commit();

 protected:
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& text) const override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace vendrix
