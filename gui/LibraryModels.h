// The tables of the library window: the history, and the saved shops and items together. Each
// model reads a page of rows at a time, the first when it is (re)loaded and the next whenever
// the view reaches its end (canFetchMore/fetchMore), newest first, on TLibraryReader's thread;
// rows arrive back on the window's thread, and a page of an older query (another filter) is
// dropped. Every value is shown as the plain text it is. Window thread only.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "library/Library.h"

namespace vendrix {

class TLibraryReader;

namespace library_model_defaults {
inline constexpr size_t kFirstPage = 100;  // rows read when the window opens or is filtered
inline constexpr size_t kPage = 200;       // rows read each time the view reaches the end
}  // namespace library_model_defaults

// The role by which a column sorts: times and numbers as numbers, texts as texts.
inline constexpr int kLibrarySortRole = Qt::UserRole + 1;

// What both tables share: the query's search, the pages, and which query is current.
class TPagedModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Drops the rows and reads the first page again, for `search` (UTF-8; the library's search:
  // the title, the nick, the id, for saved entries the note, Chinese anywhere).
  void SetSearch(std::string search);
  void Reload();
  const std::string& Search() const { return search_; }
  // The search holds something the library can look for (or is empty). One that does not
  // (punctuation and symbols only) is never read: the table stays empty, at its end.
  bool Searchable() const { return searchable_; }
  // Every row the query has is loaded.
  bool AtEnd() const { return at_end_; }
  bool Reading() const { return reading_; }
  // Why the last read failed; empty when it did not.
  const QString& Failure() const { return failure_; }

  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  // The column titles; the column that holds the time is 0 in both tables.
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  int columnCount(const QModelIndex& parent) const override;

 signals:
  // A page arrived, or its read failed (Failure()).
  void PageLoaded();

 protected:
  TPagedModel(TLibraryReader& reader, QStringList columns, QObject* parent);
  // Drops the rows (within a model reset) and the paging state.
  virtual void Clear() = 0;
  // Asks the reader for `limit` rows after those loaded, for the query of `generation`.
  virtual void Read(uint64_t generation, size_t limit) = 0;
  // Reads a page unless one is being read or all are in.
  void ReadMore(size_t limit);
  // Whether a page of `generation` is the current query's; its read is over either way.
  bool Current(uint64_t generation);
  uint64_t Generation() const { return generation_; }
  // A page has been taken in: whether the query has more, and how its read went.
  void Finished(bool at_end, const library::LibraryStatus& status);

  TLibraryReader& reader_;

 private:
  QStringList columns_;
  std::string search_;
  bool searchable_ = true;
  uint64_t generation_ = 0;
  bool reading_ = false;
  bool at_end_ = false;
  QString failure_;
};

class THistoryModel : public TPagedModel {
 public:
  enum Column {
    kTime,
    kAction,
    kKind,
    kTitle,
    kNick,
    kPrice,
    kCommissionRate,
    kId,
    kClickUrl,
    kColumns
  };

  THistoryModel(TLibraryReader& reader, QObject* parent);

  const library::HistoryEntry& Entry(int row) const { return rows_[static_cast<size_t>(row)]; }
  // Takes a row out that the library no longer holds.
  void RemoveEntry(int64_t key);
  // Reads the entries recorded since the newest row and puts them on top: the rows, and the
  // view's current and selected rows, stay as they are. When more came than the first page
  // holds, the first page is read again instead.
  void ReadNewer();

  int rowCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 protected:
  void Clear() override;
  void Read(uint64_t generation, size_t limit) override;

 private:
  std::vector<library::HistoryEntry> rows_;
  std::optional<int64_t> before_;  // the key of the last entry read: the next page's cursor
};

// One row of the saved table: a shop or an item.
struct SavedRow {
  library::EntryKind kind = library::EntryKind::kShop;
  library::SavedShop shop;  // when a shop
  library::SavedItem item;  // when an item
  int64_t SavedMs() const {
    return kind == library::EntryKind::kShop ? shop.saved_ms : item.saved_ms;
  }
  const std::string& Key() const {
    return kind == library::EntryKind::kShop ? shop.nick : item.item_id;
  }
};

class TSavedModel : public TPagedModel {
 public:
  enum Column {
    kSavedAt,
    kKind,
    kTitle,
    kNick,
    kNote,
    kPrice,
    kCommissionRate,
    kLocation,
    kId,
    kColumns
  };

  TSavedModel(TLibraryReader& reader, QObject* parent);

  const SavedRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  // Takes a row out that the library no longer holds.
  void RemoveSaved(library::EntryKind kind, const std::string& key);
  // Shows the note the library now holds for a row.
  void SetNote(library::EntryKind kind, const std::string& key, const std::string& note);

  int rowCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 protected:
  void Clear() override;
  void Read(uint64_t generation, size_t limit) override;

 private:
  int Find(library::EntryKind kind, const std::string& key) const;
  // Moves rows from the two kinds' buffers into the table, the latest saved first, as long as
  // the order is certain; at most `limit`.
  void Merge(size_t limit);

  std::vector<SavedRow> rows_;
  // Read but not yet in the table: each kind is read in its own order, and a row goes in only
  // once the other kind has one saved no later, or has no more.
  std::deque<library::SavedShop> shops_;
  std::deque<library::SavedItem> items_;
  std::optional<library::SavedCursor> shops_after_;
  std::optional<library::SavedCursor> items_after_;
  bool shops_done_ = false;
  bool items_done_ = false;
};

// A time as the user reads it: local, to the second.
QString LocalTimeText(int64_t time_ms);

}  // namespace vendrix
