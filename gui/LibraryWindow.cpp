#include "gui/LibraryWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

#include "app/LibraryTables.h"
#include "app/Links.h"
#include "gui/LibraryFilter.h"
#include "gui/LibraryModels.h"
#include "gui/LibraryReader.h"
#include "gui/LibraryRecorder.h"
#include "gui/UserFile.h"
#include "gui/WindowCentring.h"

namespace vendrix {
namespace {

using library::EntryKind;
using library::Library;
using library::LibraryStatus;

namespace library_window_defaults {
inline constexpr int kWidth = 980;
inline constexpr int kHeight = 560;
inline constexpr int kFrameRoom = 60;        // left on the screen for the window manager's frame
inline constexpr int kSaidMs = 4000;         // how long a said text stays in the status line
inline constexpr size_t kExportPage = 1000;  // history entries read and written at a time
inline constexpr int kMaxNote = 500;         // characters a note may hold
}  // namespace library_window_defaults

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// The note of a saved entry, edited in a line of its own.
class TNoteDialog : public QDialog {
 public:
  TNoteDialog(const QString& title, const QString& note, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("编辑备注"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromUtf8("“%1”的备注：").arg(title), this);
    label->setTextFormat(Qt::PlainText);  // a title is the platform's text, never markup
    label->setWordWrap(true);
    Note = new QLineEdit(note, this);
    Note->setMaxLength(library_window_defaults::kMaxNote);
    Note->setMinimumWidth(360);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(Note);
    layout->addWidget(buttons);
  }
  QLineEdit* Note = nullptr;
};

QTableView* MakeView(QAbstractItemModel* model, const std::vector<int>& widths, QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setModel(model);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->setTextElideMode(Qt::ElideRight);
  view->setAlternatingRowColors(true);
  view->setTabKeyNavigation(false);
  view->verticalHeader()->hide();
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->horizontalHeader()->setStretchLastSection(true);
  view->horizontalHeader()->setSectionsClickable(true);
  for (size_t i = 0; i < widths.size(); ++i) view->setColumnWidth(static_cast<int>(i), widths[i]);
  // The time, first in both tables, whole: it is what tells entries of one title apart.
  view->setColumnWidth(0, view->fontMetrics().horizontalAdvance("0000-00-00 00:00:00") + 16);
  // The time, newest first, is the library's own order: pages come in it.
  view->setSortingEnabled(true);
  view->sortByColumn(0, Qt::DescendingOrder);
  return view;
}

QSortFilterProxyModel* Sorted(QAbstractItemModel* model, QObject* parent) {
  auto* sorted = new QSortFilterProxyModel(parent);
  sorted->setSourceModel(model);
  sorted->setSortRole(kLibrarySortRole);
  sorted->setSortLocaleAware(true);
  sorted->setDynamicSortFilter(true);
  return sorted;
}

}  // namespace

TLibraryWindow::TLibraryWindow(TLibraryReader& reader, TLibraryRecorder& recorder, Actions actions,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      reader_(reader),
      recorder_(recorder),
      actions_(std::move(actions)) {
  setObjectName("LibraryWindow");
  setWindowTitle(QString::fromUtf8("收藏与记录"));
  setAttribute(Qt::WA_DeleteOnClose);
  // Its design size where the screen holds it, else what the screen shows whole (a small or
  // scaled screen), centred, so that its title bar and buttons stay on the screen.
  QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen->availableGeometry();
  const int frame = library_window_defaults::kFrameRoom;
  resize(QSize(library_window_defaults::kWidth, library_window_defaults::kHeight)
             .boundedTo(available.size() - QSize(frame, frame)));
  move(KeptInside(available, available.center() - QPoint(width() / 2, height() / 2),
                  size() + QSize(frame, frame)));

  Saved = new TSavedModel(reader_, this);
  History = new THistoryModel(reader_, this);
  saved_sorted_ = Sorted(Saved, this);
  history_sorted_ = Sorted(History, this);

  Filter = new TLibraryFilter(
      [this](const QString& text) {
        first_rows_pending_ = true;
        Saved->SetSearch(text.toStdString());
        History->SetSearch(text.toStdString());
        UpdateStatus();
      },
      this);
  auto* filter_label = new QLabel(QString::fromUtf8("筛选："), this);
  filter_label->setBuddy(Filter);

  Tabs = new QTabWidget(this);
  SavedView = MakeView(saved_sorted_, {0, 44, 220, 120, 100, 70, 70, 70}, Tabs);
  HistoryView = MakeView(history_sorted_, {0, 44, 44, 230, 120, 70, 70, 90}, Tabs);
  SavedView->setObjectName("SavedView");
  HistoryView->setObjectName("HistoryView");
  Tabs->addTab(SavedView, QString::fromUtf8("收藏"));
  Tabs->addTab(HistoryView, QString::fromUtf8("历史记录"));

  Status = new QLabel(this);
  Status->setObjectName("LibraryStatus");
  Status->setTextFormat(Qt::PlainText);  // reasons carry the library's words

  auto* top = new QHBoxLayout;
  top->addWidget(filter_label);
  top->addWidget(Filter, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Tabs, 1);
  layout->addWidget(Status);

  for (QTableView* view : {SavedView, HistoryView}) {
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    connect(view, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { Activate(SourceRow(index)); });
    connect(view->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this] { UpdateStatus(); });
  }
  for (TPagedModel* model :
       {static_cast<TPagedModel*>(Saved), static_cast<TPagedModel*>(History)}) {
    connect(model, &TPagedModel::PageLoaded, this, [this] {
      UpdateStatus();
      if (first_rows_pending_ && !Saved->Reading() && !History->Reading()) {
        first_rows_pending_ = false;
        emit FirstRows();
      }
    });
  }
  connect(Tabs, &QTabWidget::currentChanged, this, [this] { UpdateStatus(); });
  connect(&recorder_, &TLibraryRecorder::StateChanged, this, [this] { UpdateStatus(); });
  // The status line says at once when the history stops (or starts again) taking entries.
  connect(&recorder_, &TLibraryRecorder::RecordingChanged, this, [this] { UpdateStatus(); });
  connect(&recorder_, &TLibraryRecorder::Recorded, this, [this] { ShowRecordedEntries(); });
  said_.setSingleShot(true);
  said_.setInterval(library_window_defaults::kSaidMs);
  connect(&said_, &QTimer::timeout, this, [this] { UpdateStatus(); });
  Reload();
}

void TLibraryWindow::Reload() {
  first_rows_pending_ = true;
  Saved->Reload();
  History->Reload();
  UpdateStatus();
}

void TLibraryWindow::ReloadSaved() { Saved->Reload(); }

void TLibraryWindow::ShowRecordedEntries() {
  // The newest entries go on top, the current row kept (Enter again opens it again), unless
  // the user has scrolled down the history, where the rows would move under them: they come
  // with the next entry recorded at the top.
  if (HistoryView->verticalScrollBar()->value() == 0) History->ReadNewer();
}

bool TLibraryWindow::HistoryShown() const { return Tabs->currentWidget() == HistoryView; }

QTableView* TLibraryWindow::View() const { return HistoryShown() ? HistoryView : SavedView; }

int TLibraryWindow::SourceRow(const QModelIndex& proxy) const {
  if (!proxy.isValid()) return -1;
  auto* sorted = static_cast<const QSortFilterProxyModel*>(proxy.model());
  return sorted->mapToSource(proxy).row();
}

bool TLibraryWindow::eventFilter(QObject* watched, QEvent* event) {
  QTableView* view = watched == SavedView || watched == SavedView->viewport()       ? SavedView
                     : watched == HistoryView || watched == HistoryView->viewport() ? HistoryView
                                                                                    : nullptr;
  if (view == nullptr) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::ContextMenu) {
    auto* menu = static_cast<QContextMenuEvent*>(event);
    // The menu key reaches the table, a right-click its viewport.
    ShowMenu(view, menu->pos(), menu->reason() == QContextMenuEvent::Keyboard);
    return true;
  }
  if (event->type() == QEvent::KeyPress && watched == view) {
    auto* key = static_cast<QKeyEvent*>(event);
    const int row = SourceRow(view->currentIndex());
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (row >= 0) Activate(row);
      return true;
    }
    if (key->matches(QKeySequence::Copy)) {
      if (row >= 0) CopyAddress(row);
      return true;
    }
    if (key->matches(QKeySequence::Delete)) {
      if (row >= 0 && recorder_.Writable()) Remove(row);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TLibraryWindow::ShowMenu(QTableView* view, const QPoint& position, bool keyboard) {
  QModelIndex at = keyboard ? view->currentIndex() : view->indexAt(position);
  if (keyboard && at.isValid()) view->scrollTo(at);
  const int row = SourceRow(at);
  if (at.isValid()) view->selectRow(at.row());
  const bool history = view == HistoryView;
  const bool writable = recorder_.Writable();
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* copy =
      menu->addAction(QString::fromUtf8("复制推广链接"), [this, row] { CopyAddress(row); });
  copy->setEnabled(row >= 0);
  if (!history) {
    QAction* note =
        menu->addAction(QString::fromUtf8("编辑备注..."), [this, row] { EditNote(row); });
    note->setEnabled(row >= 0 && writable);
  }
  QAction* remove = menu->addAction(QString::fromUtf8("删除"), [this, row] { Remove(row); });
  remove->setEnabled(row >= 0 && writable);
  if (history) {
    QAction* clear = menu->addAction(QString::fromUtf8("清空记录..."), [this] { ClearHistory(); });
    clear->setEnabled(writable && History->rowCount(QModelIndex()) > 0);
  }
  menu->addSeparator();
  QAction* save = menu->addAction(QString::fromUtf8("导出..."), [this] { Export(); });
  save->setEnabled(recorder_.GetState() != TLibraryRecorder::State::kUnusable &&
                   History->Searchable());
  shown_ = menu;
  QPoint where = at.isValid() && keyboard ? view->visualRect(at).center() : position;
  menu->popup(view->viewport()->mapToGlobal(where));
}

void TLibraryWindow::Activate(int row) {
  if (row < 0) return;
  const library::SavedShop* shop = nullptr;
  LinkRecord link = RecordOfRow(row, shop);
  if (shop != nullptr) {
    actions_.show_shop(*shop);
    return;
  }
  // Only a web address ever reaches the browser, whatever the file holds.
  if (!IsWebAddress(link.click_url)) {
    Say(QString::fromUtf8("这条推广链接不是网页地址，没有打开"));
    return;
  }
  if (!actions_.open_address(link.click_url)) {
    Say(QString::fromUtf8("无法启动浏览器"));
    return;
  }
  recorder_.Opened(link);
  Say(QString::fromUtf8("推广链接已在浏览器中打开"));
}

LinkRecord TLibraryWindow::RecordOfRow(int row, const library::SavedShop*& shop) const {
  shop = nullptr;
  if (HistoryShown()) {
    const library::HistoryEntry& entry = History->Entry(row);
    return {entry.kind,     entry.id, entry.nick, entry.title, entry.price, entry.commission_rate,
            entry.click_url};
  }
  const SavedRow& saved = Saved->Row(row);
  if (saved.kind == EntryKind::kShop) {
    shop = &saved.shop;
    return {};
  }
  const library::SavedItem& item = saved.item;
  return {EntryKind::kItem, item.item_id,         item.nick,     item.title,
          item.price,       item.commission_rate, item.click_url};
}

void TLibraryWindow::CopyAddress(int row) {
  if (row < 0) return;
  const library::SavedShop* shop = nullptr;
  LinkRecord link = RecordOfRow(row, shop);
  if (shop != nullptr) {
    // A saved shop keeps no address: it is converted as a click on its page would be.
    actions_.copy_shop_link(*shop);
    Say(QString::fromUtf8("正在获取店铺推广链接……"));
    return;
  }
  QGuiApplication::clipboard()->setText(Text(link.click_url));
  recorder_.Copied(link);
  Say(QString::fromUtf8("推广链接已复制"));
}

void TLibraryWindow::EditNote(int row) {
  if (row < 0 || HistoryShown() || !recorder_.Writable()) return;
  const SavedRow saved = Saved->Row(row);
  const bool shop = saved.kind == EntryKind::kShop;
  TNoteDialog dialog(Text(shop ? saved.shop.title : saved.item.title),
                     Text(shop ? saved.shop.note : saved.item.note), this);
  if (dialog.exec() != QDialog::Accepted) return;
  std::string note = dialog.Note->text().toStdString();
  recorder_.Writer().SetNote(
      saved.kind, saved.Key(), note,
      recorder_.OnWindowThread(this, [this, saved, note](const LibraryStatus& status) {
        if (!status.Ok()) return Failed(QString::fromUtf8("备注没有保存"), status);
        Saved->SetNote(saved.kind, saved.Key(), note);
        Say(QString::fromUtf8("备注已保存"));
      }));
}

void TLibraryWindow::Remove(int row) {
  if (row < 0 || !recorder_.Writable()) return;
  if (HistoryShown()) {
    const library::HistoryEntry entry = History->Entry(row);
    if (!Confirm(QString::fromUtf8("删除这条历史记录？\n%1").arg(Text(entry.title)))) return;
    recorder_.Writer().RemoveHistoryEntry(
        entry.key, recorder_.OnWindowThread(this, [this, key = entry.key](const LibraryStatus& s) {
          if (!s.Ok()) return Failed(QString::fromUtf8("记录没有删除"), s);
          History->RemoveEntry(key);
          Say(QString::fromUtf8("记录已删除"));
        }));
    return;
  }
  const SavedRow saved = Saved->Row(row);
  const bool shop = saved.kind == EntryKind::kShop;
  QString question = shop ? QString::fromUtf8("从收藏中删除店铺“%1”？")
                          : QString::fromUtf8("从收藏中删除商品“%1”？");
  if (!Confirm(question.arg(Text(shop ? saved.shop.title : saved.item.title)))) return;
  auto done = recorder_.OnWindowThread(this, [this, saved](const LibraryStatus& status) {
    if (!status.Ok()) return Failed(QString::fromUtf8("收藏没有删除"), status);
    Saved->RemoveSaved(saved.kind, saved.Key());
    Say(QString::fromUtf8("已从收藏中删除"));
    if (saved.kind == EntryKind::kShop) emit SavedShopsChanged();
  });
  if (shop) {
    recorder_.Writer().RemoveShop(saved.shop.nick, std::move(done));
  } else {
    recorder_.Writer().RemoveItem(saved.item.item_id, std::move(done));
  }
}

void TLibraryWindow::ClearHistory() {
  if (!recorder_.Writable()) return;
  if (!Confirm(QString::fromUtf8("清空全部历史记录？\n所有记录下的推广链接都会删除，无法恢复。"))) {
    return;
  }
  recorder_.Writer().ClearHistory(
      std::nullopt, recorder_.OnWindowThread(this, [this](const LibraryStatus& status) {
        if (!status.Ok()) return Failed(QString::fromUtf8("历史记录没有清空"), status);
        History->Reload();
        Say(QString::fromUtf8("历史记录已清空"));
      }));
}

bool TLibraryWindow::Confirm(const QString& question) {
  // The question names a title from the platform: text, never markup.
  QMessageBox box(QMessageBox::Question, windowTitle(), question,
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void TLibraryWindow::Failed(const QString& what, const LibraryStatus& status) {
  Say(what + QString::fromUtf8("：") + LibraryProblemText(status, recorder_.Path(), false));
}

void TLibraryWindow::Export() {
  const bool history = HistoryShown();
  const QString title = QString::fromUtf8(history ? "导出历史记录" : "导出收藏");
  // A known extension says the format; any other, the type chosen. TSV names its columns in a
  // first line, as CSV and JSON name their fields.
  QString written = SaveUserFile(
      this, title, QString::fromUtf8(history ? "历史记录.csv" : "收藏.csv"),
      {{"CSV (*.csv)", "csv"}, {"TSV (*.tsv *.txt)", "tsv"}, {"JSON (*.json)", "json"}},
      [this, history](const QString& path, const UserFileType& type) {
        QString suffix = QFileInfo(path).suffix().toLower();
        std::optional<TableFormat> format =
            ParseTableFormat(suffix == "txt" ? "tsv" : suffix.toStdString());
        if (!format) format = ParseTableFormat(type.suffix.toStdString());
        return ExportText(history, static_cast<int>(format.value_or(TableFormat::kCsv)));
      });
  if (!written.isEmpty()) Say(QString::fromUtf8("已导出到 %1").arg(written));
}

std::optional<QByteArray> TLibraryWindow::ExportText(bool history, int format_number) {
  const auto format = static_cast<TableFormat>(format_number);
  const std::string search = History->Search();
  struct Outcome {
    bool done = false;
    QByteArray bytes;
    LibraryStatus status;
  };
  auto outcome = std::make_shared<Outcome>();
  QEventLoop wait;
  QPointer<QEventLoop> waiting(&wait);
  TLibraryReader* reader = &reader_;
  reader_.Run(this, [=](Library* library, const LibraryStatus& opened) -> std::function<void()> {
    LibraryStatus status = opened;
    std::string text;
    if (library != nullptr && history) {
      // A page at a time: a long history is never held whole, only its text.
      TableWriter writer(HistoryColumns(), format);
      text = writer.Begin();
      library::HistoryQuery query;
      query.search = search;
      query.limit = library_window_defaults::kExportPage;
      for (;;) {
        std::vector<library::HistoryEntry> entries;
        status = library->ReadHistory(query, entries);
        if (!status.Ok()) break;
        std::vector<std::vector<std::string>> rows;
        rows.reserve(entries.size());
        for (const library::HistoryEntry& entry : entries) rows.push_back(HistoryCells(entry));
        text += writer.Rows(rows);
        if (entries.size() < query.limit) break;
        query.before = entries.back().key;
      }
      text += writer.End();
    } else if (library != nullptr) {
      std::vector<library::SavedShop> shops;
      std::vector<library::SavedItem> items;
      library::SavedQuery query{.search = search, .after = std::nullopt, .limit = SIZE_MAX};
      status = library->ReadSavedShops(query, shops);
      if (status.Ok()) status = library->ReadSavedItems(query, items);
      if (status.Ok())
        text = TableText(SavedColumns(true, true), SavedRows(shops, items, true), format);
    }
    if (library != nullptr && !status.Ok()) reader->ReadFailed(status);
    return [outcome, waiting, status, text = std::move(text)] {
      outcome->done = true;
      outcome->status = status;
      if (status.Ok()) outcome->bytes = QByteArray::fromStdString(text);
      if (waiting) waiting->quit();
    };
  });
  Status->setText(QString::fromUtf8("正在导出……"));
  QApplication::setOverrideCursor(Qt::BusyCursor);
  // The windows are drawn meanwhile; what the user does waits for the export.
  if (!outcome->done) wait.exec(QEventLoop::ExcludeUserInputEvents);
  QApplication::restoreOverrideCursor();
  UpdateStatus();
  if (!outcome->status.Ok()) {
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QString::fromUtf8("没有导出：") +
                        LibraryProblemText(outcome->status, recorder_.Path(), false),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return std::nullopt;
  }
  return outcome->bytes;
}

void TLibraryWindow::Say(const QString& text) {
  Status->setText(text);
  said_.start();
}

void TLibraryWindow::UpdateStatus() {
  if (said_.isActive()) return;
  const bool history = HistoryShown();
  TPagedModel* model = history ? static_cast<TPagedModel*>(History) : Saved;
  QTableView* view = View();
  const int rows = model->rowCount(QModelIndex());
  QString text;
  if (recorder_.GetState() == TLibraryRecorder::State::kUnusable && rows == 0) {
    text = QString::fromUtf8("收藏与记录文件不能使用：本次运行不会保存收藏，也不会记录推广链接。");
  } else if (!model->Failure().isEmpty()) {
    text = QString::fromUtf8("无法读取收藏与记录：") + model->Failure();
  } else if (!model->Searchable()) {
    text = QString::fromUtf8("筛选条件中没有可查找的文字：请输入字母、数字或汉字");
  } else if (model->Reading() && rows == 0) {
    text = QString::fromUtf8("正在读取……");
  } else {
    if (rows == 0) {
      text = !Filter->Searched().isEmpty() ? QString::fromUtf8("没有符合筛选的条目")
             : history                     ? QString::fromUtf8("还没有历史记录")
                                           : QString::fromUtf8("还没有收藏");
    } else if (model->AtEnd()) {
      text = QString::fromUtf8("共 %1 条").arg(rows);
    } else {
      text = QString::fromUtf8("已显示 %1 条，向下滚动显示更多").arg(rows);
      // Pages come newest first; another order is that of the rows read so far.
      QHeaderView* header = view->horizontalHeader();
      if (header->sortIndicatorSection() != 0 ||
          header->sortIndicatorOrder() != Qt::DescendingOrder) {
        text += QString::fromUtf8("（排序只含已显示的条目）");
      }
    }
    if (recorder_.GetState() == TLibraryRecorder::State::kReadOnly) {
      text += QString::fromUtf8("；收藏与记录只能查看（文件来自更新的 Vendrix）");
    } else if (history && !recorder_.RecordingOn()) {
      text += QString::fromUtf8("；推广链接的记录已关闭");
    }
  }
  Status->setText(text);
}

}  // namespace vendrix
