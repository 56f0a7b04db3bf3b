// Draws the rows of the seller list (ListView1): the credit picture centred in its column, the
// texts centred, a ★ before the nick of a seller whose shop is saved in the library, and the
// row under the mouse pointer in RGB(239, 29, 29). A text too wide for
// its column ends in "…" and shows whole in its tooltip; the selected row's text keeps a
// contrast of 4.5:1 to the selection's colour. Window thread only.
#pragma once

#include <QStyledItemDelegate>

namespace vendrix {

class TSellerListDelegate : public QStyledItemDelegate {
 public:
  explicit TSellerListDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

  // The role of a nick's cell that marks the seller's shop as saved (a bool).
  static constexpr int kSavedRole = Qt::UserRole + 1;
  static QColor SavedColor() { return QColor(214, 130, 0); }

  void SetHotRow(int row) { hot_row_ = row; }
  int HotRow() const { return hot_row_; }
  static QColor HotColor() { return QColor(239, 29, 29); }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  // The tooltip of a text that does not fit its column: the whole text.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  int hot_row_ = -1;
};

}  // namespace vendrix
