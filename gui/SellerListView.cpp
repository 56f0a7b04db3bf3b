#include "gui/SellerListView.h"

namespace vendrix {

QItemSelectionModel::SelectionFlags TSellerListView::selectionCommand(const QModelIndex& index,
                                                                      const QEvent* event) const {
  QItemSelectionModel::SelectionFlags command = QTableWidget::selectionCommand(index, event);
  // The row shown in the page is the selected one; nothing deselects it but another row.
  if (command.testFlag(QItemSelectionModel::Deselect)) return QItemSelectionModel::NoUpdate;
  return command;
}

}  // namespace vendrix
