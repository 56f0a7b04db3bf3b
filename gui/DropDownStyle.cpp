#include "gui/DropDownStyle.h"

namespace vendrix {

TDropDownStyle::TDropDownStyle(QObject* parent) { setParent(parent); }

int TDropDownStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                              QStyleHintReturn* hint_return) const {
  // A "popup" list ignores maxVisibleItems; a plain one drops below the box and keeps it.
  if (hint == SH_ComboBox_Popup) return 0;
  return QProxyStyle::styleHint(hint, option, widget, hint_return);
}

}  // namespace vendrix
