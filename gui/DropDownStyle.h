// The style of the window's drop-down lists: an open list shows the box's maxVisibleItems
// items and scrolls the rest, where the application's style would open a list that cannot be
// edited to the height of the screen. Everything else is the application's style. Window
// thread only.
#pragma once

#include <QProxyStyle>

namespace vendrix {

class TDropDownStyle : public QProxyStyle {
 public:
  // Owned by `parent`; boxes that use it fall back to the application's style once it is gone.
  explicit TDropDownStyle(QObject* parent);

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* hint_return) const override;
};

}  // namespace vendrix
