// The 收藏与记录 window: the saved shops and items (收藏) and the history (历史记录) in two
// tabs, a filter box over both, columns that sort, and for each row a double-click (or Enter)
// that opens its click address (a saved shop: its page in the main window) and a menu to copy
// the address, edit the note, remove the entry, clear the history and export the tab. Every
// read runs on TLibraryReader's thread and every change on the writer's: the window never
// waits for the file. Window thread only.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "library/Library.h"

class QLabel;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;

namespace vendrix {

class THistoryModel;
class TLibraryFilter;
class TLibraryReader;
class TLibraryRecorder;
class TSavedModel;
struct LinkRecord;

class TLibraryWindow : public QWidget {
  Q_OBJECT

 public:
  struct Actions {
    // Opens an affiliate address (UTF-8) in the user's web browser; false when none started.
    std::function<bool(const std::string& address)> open_address;
    // Shows a saved shop: its page in the main window when it is a row of the list there, else
    // its affiliate address opened in the web browser.
    std::function<void(const library::SavedShop& shop)> show_shop;
    // Converts a saved shop's affiliate address for the clipboard (it keeps none of its own).
    std::function<void(const library::SavedShop& shop)> copy_shop_link;
  };

  TLibraryWindow(TLibraryReader& reader, TLibraryRecorder& recorder, Actions actions,
                 QWidget* parent);

  // Reads both tables again from their first rows, the filter kept.
  void Reload();
  void ReloadSaved();
  // Says `text` in the status line for a while.
  void Say(const QString& text);

  // The window's parts, for the tests that drive it.
  TLibraryFilter* Filter = nullptr;
  QTabWidget* Tabs = nullptr;
  QTableView* SavedView = nullptr;
  QTableView* HistoryView = nullptr;
  QLabel* Status = nullptr;
  TSavedModel* Saved = nullptr;
  THistoryModel* History = nullptr;
  // The menu last shown, while it is open.
  QMenu* ShownMenu() const { return shown_; }

 signals:
  // Both tables hold their first rows (or know they have none) after an opening or a filter.
  void FirstRows();
  // A saved shop was removed here.
  void SavedShopsChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool HistoryShown() const;
  QTableView* View() const;
  // The row of the current tab's table at `proxy` (a view's index), -1 for none.
  int SourceRow(const QModelIndex& proxy) const;
  void ShowMenu(QTableView* view, const QPoint& position, bool keyboard);
  // What a double-click or Enter on `row` of the current table does.
  void Activate(int row);
  void CopyAddress(int row);
  void EditNote(int row);
  void Remove(int row);
  void ClearHistory();
  void Export();
  // Every entry of the current tab the filter lets through, as the file of `format`, read on
  // the reader's thread while this one serves the windows; nullopt after saying why not.
  std::optional<QByteArray> ExportText(bool history, int format);
  bool Confirm(const QString& question);
  void Failed(const QString& what, const library::LibraryStatus& status);
  void UpdateStatus();
  void ShowRecordedEntries();
  // The address entry of `row` in the tab shown; for a saved shop, which keeps no address,
  // nothing, with `shop` pointing at it (else null).
  LinkRecord RecordOfRow(int row, const library::SavedShop*& shop) const;

  TLibraryReader& reader_;
  TLibraryRecorder& recorder_;
  Actions actions_;
  QSortFilterProxyModel* saved_sorted_ = nullptr;
  QSortFilterProxyModel* history_sorted_ = nullptr;
  QPointer<QMenu> shown_;
  QTimer said_;  // how long a said text stays
  bool first_rows_pending_ = false;
};

}  // namespace vendrix
