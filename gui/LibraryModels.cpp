#include "gui/LibraryModels.h"

#include <QDateTime>

#include "app/ItemCommissions.h"
#include "gui/LibraryReader.h"
#include "library/SearchText.h"

namespace vendrix {
namespace {

using library::EntryKind;
using library::Library;
using library::LibraryStatus;

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QString KindText(EntryKind kind) {
  return QString::fromUtf8(kind == EntryKind::kItem ? "商品" : "店铺");
}

// A number the platform gave as text, for sorting; a text that is none sorts first.
double Number(const std::string& text) {
  bool ok = false;
  double value = QString::fromStdString(text).toDouble(&ok);
  return ok ? value : -1;
}

// A value of the platform's shown in a tooltip as the words it is (a tooltip reads markup).
QVariant Tooltip(const QString& text) {
  if (text.isEmpty()) return QVariant();
  return "<qt>" + text.toHtmlEscaped() + "</qt>";
}

}  // namespace

QString LocalTimeText(int64_t time_ms) {
  return QDateTime::fromMSecsSinceEpoch(time_ms).toString("yyyy-MM-dd HH:mm:ss");
}

TPagedModel::TPagedModel(TLibraryReader& reader, QStringList columns, QObject* parent)
    : QAbstractTableModel(parent), reader_(reader), columns_(std::move(columns)) {}

void TPagedModel::SetSearch(std::string search) {
  search_ = std::move(search);
  // What the library cannot search for would find every entry: it finds none here, as the
  // command line refuses it.
  searchable_ = search_.empty() || !library::SearchPieces(search_).empty();
  Reload();
}

void TPagedModel::Reload() {
  // Whatever an older query still brings is dropped.
  ++generation_;
  beginResetModel();
  Clear();
  reading_ = false;
  at_end_ = !searchable_;
  failure_.clear();
  endResetModel();
  if (!searchable_) {
    emit PageLoaded();
    return;
  }
  ReadMore(library_model_defaults::kFirstPage);
}

bool TPagedModel::canFetchMore(const QModelIndex& parent) const {
  // A failed read is not asked again by scrolling: the next filter or reload tries again.
  return !parent.isValid() && !at_end_ && !reading_ && failure_.isEmpty();
}

void TPagedModel::fetchMore(const QModelIndex& parent) {
  if (!parent.isValid()) ReadMore(library_model_defaults::kPage);
}

void TPagedModel::ReadMore(size_t limit) {
  if (reading_ || at_end_) return;
  reading_ = true;
  Read(generation_, limit);
}

bool TPagedModel::Current(uint64_t generation) { return generation == generation_; }

void TPagedModel::Finished(bool at_end, const LibraryStatus& status) {
  reading_ = false;
  at_end_ = at_end || !status.Ok();
  failure_ = status.Ok() ? QString() : Text(status.message);
  emit PageLoaded();
}

QVariant TPagedModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < columns_.size()) {
    return columns_[section];
  }
  // The time sorts newest first at its first click, any other column from its smallest.
  if (orientation == Qt::Horizontal && role == Qt::InitialSortOrderRole) {
    return section == 0 ? Qt::DescendingOrder : Qt::AscendingOrder;
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

int TPagedModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

THistoryModel::THistoryModel(TLibraryReader& reader, QObject* parent)
    : TPagedModel(
          reader,
          {QString::fromUtf8("时间"), QString::fromUtf8("操作"), QString::fromUtf8("类型"),
           QString::fromUtf8("标题"), QString::fromUtf8("卖家"), QString::fromUtf8("价格"),
           QString::fromUtf8("佣金比率"), QString::fromUtf8("编号"), QString::fromUtf8("推广链接")},
          parent) {}

void THistoryModel::Clear() {
  rows_.clear();
  before_.reset();
}

void THistoryModel::Read(uint64_t generation, size_t limit) {
  library::HistoryQuery query;
  query.search = Search();
  query.before = before_;
  query.limit = limit;
  TLibraryReader* reader = &reader_;
  reader_.Run(
      this, [this, reader, query, generation](Library* library, const LibraryStatus& opened) {
        std::vector<library::HistoryEntry> entries;
        LibraryStatus status = opened;
        if (library != nullptr) status = library->ReadHistory(query, entries);
        if (library != nullptr && !status.Ok()) reader->ReadFailed(status);
        return [this, generation, limit = query.limit, status, entries = std::move(entries)] {
          if (!Current(generation)) return;
          if (!entries.empty()) {
            before_ = entries.back().key;
            const int first = static_cast<int>(rows_.size());
            beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
            rows_.insert(rows_.end(), entries.begin(), entries.end());
            endInsertRows();
          }
          Finished(entries.size() < limit, status);
        };
      });
}

void THistoryModel::ReadNewer() {
  if (!Searchable()) return;
  library::HistoryQuery query;
  query.search = Search();
  query.limit = library_model_defaults::kFirstPage;
  TLibraryReader* reader = &reader_;
  reader_.Run(this, [this, reader, query, generation = Generation()](
                        Library* library, const LibraryStatus& opened) {
    std::vector<library::HistoryEntry> entries;
    LibraryStatus status = opened;
    if (library != nullptr) status = library->ReadHistory(query, entries);
    if (library != nullptr && !status.Ok()) reader->ReadFailed(status);
    return [this, generation, limit = query.limit, status, entries = std::move(entries)] {
      // A failed read keeps the rows: the reader has said why, and the next one tries again.
      // The reads run in order, so every page asked for before this one is in.
      if (!Current(generation) || !status.Ok()) return;
      size_t newer = 0;
      while (newer < entries.size() &&
             (rows_.empty() || entries[newer].key > rows_.front().key)) {
        ++newer;
      }
      if (newer == 0) return;
      // A page of newer entries may have more behind it: no gap is left in the table.
      if (newer == limit) return Reload();
      if (rows_.empty()) before_ = entries[newer - 1].key;
      beginInsertRows(QModelIndex(), 0, static_cast<int>(newer) - 1);
      rows_.insert(rows_.begin(), entries.begin(),
                   entries.begin() + static_cast<std::ptrdiff_t>(newer));
      endInsertRows();
      emit PageLoaded();
    };
  });
}

void THistoryModel::RemoveEntry(int64_t key) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].key != key) continue;
    beginRemoveRows(QModelIndex(), static_cast<int>(i), static_cast<int>(i));
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
    endRemoveRows();
    return;
  }
}

int THistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant THistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return QVariant();
  const library::HistoryEntry& entry = rows_[static_cast<size_t>(index.row())];
  const int column = index.column();
  if (role == Qt::TextAlignmentRole) {
    return column == kPrice || column == kCommissionRate
               ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
               : QVariant();
  }
  if (role == kLibrarySortRole) {
    switch (column) {
      case kTime:
        return QVariant::fromValue<qlonglong>(entry.key);
      case kPrice:
        return Number(entry.price);
      case kCommissionRate:
        return Number(entry.commission_rate);
      default:
        return data(index, Qt::DisplayRole);
    }
  }
  if (role == Qt::ToolTipRole) {
    if (column == kTitle) return Tooltip(Text(entry.title));
    if (column == kClickUrl) return Tooltip(Text(entry.click_url));
    return QVariant();
  }
  if (role != Qt::DisplayRole) return QVariant();
  switch (column) {
    case kTime:
      return LocalTimeText(entry.time_ms);
    case kAction:
      return QString::fromUtf8(entry.action == library::HistoryAction::kOpened   ? "打开"
                               : entry.action == library::HistoryAction::kCopied ? "复制"
                                                                                 : "输出");
    case kKind:
      return KindText(entry.kind);
    case kTitle:
      return Text(entry.title);
    case kNick:
      return Text(entry.nick);
    case kPrice:
      return Text(entry.price);
    case kCommissionRate:
      return Text(CommissionRateText(entry.commission_rate));
    case kId:
      return Text(entry.id);
    case kClickUrl:
      return Text(entry.click_url);
    default:
      return QVariant();
  }
}

TSavedModel::TSavedModel(TLibraryReader& reader, QObject* parent)
    : TPagedModel(
          reader,
          {QString::fromUtf8("收藏时间"), QString::fromUtf8("类型"), QString::fromUtf8("标题"),
           QString::fromUtf8("卖家"), QString::fromUtf8("备注"), QString::fromUtf8("价格"),
           QString::fromUtf8("佣金比率"), QString::fromUtf8("所在地区"), QString::fromUtf8("编号")},
          parent) {}

void TSavedModel::Clear() {
  rows_.clear();
  shops_.clear();
  items_.clear();
  shops_after_.reset();
  items_after_.reset();
  shops_done_ = false;
  items_done_ = false;
}

void TSavedModel::Read(uint64_t generation, size_t limit) {
  // Each kind is read up to a page ahead of the table, so that a page of the table can go in.
  const size_t shops_wanted = shops_done_ || shops_.size() >= limit ? 0 : limit;
  const size_t items_wanted = items_done_ || items_.size() >= limit ? 0 : limit;
  library::SavedQuery shops{.search = Search(), .after = shops_after_, .limit = shops_wanted};
  library::SavedQuery items{.search = Search(), .after = items_after_, .limit = items_wanted};
  TLibraryReader* reader = &reader_;
  reader_.Run(this, [this, reader, shops, items, generation, limit](Library* library,
                                                                    const LibraryStatus& opened) {
    std::vector<library::SavedShop> shop_rows;
    std::vector<library::SavedItem> item_rows;
    LibraryStatus status = opened;
    if (library != nullptr) {
      if (shops.limit > 0) status = library->ReadSavedShops(shops, shop_rows);
      if (status.Ok() && items.limit > 0) status = library->ReadSavedItems(items, item_rows);
      if (!status.Ok()) reader->ReadFailed(status);
    }
    return [this, generation, limit, status, shops, items, shop_rows = std::move(shop_rows),
            item_rows = std::move(item_rows)] {
      if (!Current(generation)) return;
      if (status.Ok()) {
        if (shops.limit > 0) {
          shops_done_ = shop_rows.size() < shops.limit;
          if (!shop_rows.empty()) {
            shops_after_ = library::SavedCursor{shop_rows.back().saved_ms, shop_rows.back().nick};
          }
          shops_.insert(shops_.end(), shop_rows.begin(), shop_rows.end());
        }
        if (items.limit > 0) {
          items_done_ = item_rows.size() < items.limit;
          if (!item_rows.empty()) {
            items_after_ =
                library::SavedCursor{item_rows.back().saved_ms, item_rows.back().item_id};
          }
          items_.insert(items_.end(), item_rows.begin(), item_rows.end());
        }
        Merge(limit);
      }
      Finished(shops_done_ && items_done_ && shops_.empty() && items_.empty(), status);
    };
  });
}

void TSavedModel::Merge(size_t limit) {
  std::vector<SavedRow> merged;
  while (merged.size() < limit) {
    // A row goes in when the other kind cannot bring a later one: the library gives each
    // kind the latest saved first (ties by nick or id, descending), and so does the table.
    const bool shop_ready = !shops_.empty() && (!items_.empty() || items_done_);
    const bool item_ready = !items_.empty() && (!shops_.empty() || shops_done_);
    if (!shop_ready && !item_ready) break;
    bool take_shop = shop_ready;
    if (shop_ready && item_ready) take_shop = shops_.front().saved_ms >= items_.front().saved_ms;
    SavedRow row;
    if (take_shop) {
      row.kind = EntryKind::kShop;
      row.shop = std::move(shops_.front());
      shops_.pop_front();
    } else {
      row.kind = EntryKind::kItem;
      row.item = std::move(items_.front());
      items_.pop_front();
    }
    merged.push_back(std::move(row));
  }
  if (merged.empty()) return;
  const int first = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(merged.size()) - 1);
  rows_.insert(rows_.end(), std::make_move_iterator(merged.begin()),
               std::make_move_iterator(merged.end()));
  endInsertRows();
}

int TSavedModel::Find(EntryKind kind, const std::string& key) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].kind == kind && rows_[i].Key() == key) return static_cast<int>(i);
  }
  return -1;
}

void TSavedModel::RemoveSaved(EntryKind kind, const std::string& key) {
  int row = Find(kind, key);
  if (row < 0) return;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void TSavedModel::SetNote(EntryKind kind, const std::string& key, const std::string& note) {
  int row = Find(kind, key);
  if (row < 0) return;
  SavedRow& saved = rows_[static_cast<size_t>(row)];
  (kind == EntryKind::kShop ? saved.shop.note : saved.item.note) = note;
  emit dataChanged(index(row, kNote), index(row, kNote));
}

int TSavedModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant TSavedModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return QVariant();
  const SavedRow& row = rows_[static_cast<size_t>(index.row())];
  const bool shop = row.kind == EntryKind::kShop;
  const int column = index.column();
  if (role == Qt::TextAlignmentRole) {
    return column == kPrice || column == kCommissionRate
               ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
               : QVariant();
  }
  if (role == kLibrarySortRole) {
    switch (column) {
      case kSavedAt:
        return QVariant::fromValue<qlonglong>(row.SavedMs());
      case kPrice:
        return shop ? -1.0 : Number(row.item.price);
      case kCommissionRate:
        return shop ? -1.0 : Number(row.item.commission_rate);
      default:
        return data(index, Qt::DisplayRole);
    }
  }
  if (role == Qt::ToolTipRole) {
    if (column == kTitle) return Tooltip(Text(shop ? row.shop.title : row.item.title));
    if (column == kNote) return Tooltip(Text(shop ? row.shop.note : row.item.note));
    return QVariant();
  }
  if (role != Qt::DisplayRole) return QVariant();
  switch (column) {
    case kSavedAt:
      return LocalTimeText(row.SavedMs());
    case kKind:
      return KindText(row.kind);
    case kTitle:
      return Text(shop ? row.shop.title : row.item.title);
    case kNick:
      return Text(shop ? row.shop.nick : row.item.nick);
    case kNote:
      return Text(shop ? row.shop.note : row.item.note);
    case kPrice:
      return shop ? QString() : Text(row.item.price);
    case kCommissionRate:
      return shop ? QString() : Text(CommissionRateText(row.item.commission_rate));
    case kLocation:
      return shop ? Text(row.shop.location) : QString();
    case kId:
      return Text(shop ? row.shop.shop_id : row.item.item_id);
    default:
      return QVariant();
  }
}

}  // namespace vendrix
