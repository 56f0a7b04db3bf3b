// The seller list's table (ListView1). One row is selected at a time and a click only ever
// selects: the row that is selected stays selected under a Ctrl+click or Ctrl+Space, which in a
// plain table would leave no row selected while that row's page loads. Window thread only.
#pragma once

#include <QTableWidget>

namespace vendrix {

class TSellerListView : public QTableWidget {
 public:
  TSellerListView(int rows, int columns, QWidget* parent) : QTableWidget(rows, columns, parent) {}

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
};

}  // namespace vendrix
