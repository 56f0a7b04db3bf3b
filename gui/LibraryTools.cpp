#include "gui/LibraryTools.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>

#include "gui/FailureWords.h"
#include "gui/LibraryReader.h"
#include "gui/LibraryWindow.h"
#include "gui/PageLoader.h"
#include "gui/SellerListDelegate.h"
#include "gui/Unit1.h"
#include "gui/WindowMenu.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

using library::EntryKind;
using library::Library;
using library::LibraryStatus;

std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk); }

}  // namespace

TLibraryTools::TLibraryTools(TForm1& form, ShopFinder& finder, TPageLoader& loader, Actions actions)
    : QObject(&form),
      form_(form),
      finder_(finder),
      loader_(loader),
      actions_(std::move(actions)),
      lookup_context_(new QObject) {
  const std::string path = library::DefaultLibraryPath();
  recorder_ = new TLibraryRecorder(path, &form_, actions_.say);
  reader_ = new TLibraryReader(
      path,
      [this](const LibraryStatus& status, bool readable) {
        recorder_->ReadProblem(status, readable);
      },
      this);
  lookup_.SetDefaultGateway(finder_.GetSettings().Gateway);
  lookup_context_->moveToThread(&lookup_thread_);
  lookup_thread_.start();

  QMenu* menu = form_.WindowMenu().AddMenu(QString::fromUtf8("收藏"), Qt::Key_B);
  open_window_ =
      menu->addAction(QString::fromUtf8("收藏与记录..."), [this] { OpenLibraryWindow(); });
  recording_ = menu->addAction(QString::fromUtf8("记录推广链接"));
  recording_->setCheckable(true);
  connect(recording_, &QAction::toggled, this, [this](bool on) {
    if (library::HistoryRecordingOn()) recorder_->SetRecordingSetting(on);
  });
  // VENDRIX_HISTORY=off wins over the setting, which then cannot be turned on here.
  connect(menu, &QMenu::aboutToShow, this, [this] {
    QSignalBlocker quiet(recording_);
    recording_->setChecked(recorder_->RecordingOn());
    recording_->setEnabled(library::HistoryRecordingOn() && recorder_->Writable());
  });
  // The list's rows are new after every search: which of them are saved is read again.
  connect(&form_, &TForm1::SearchEnded, this, [this] {
    MarkSaved();
    ReadSavedNicks();
  });
}

TLibraryTools::~TLibraryTools() {
  lookup_.Http().Abort();
  lookup_thread_.quit();
  lookup_thread_.wait();
  // The window's models read through the reader: the window goes first.
  delete window_;
  delete reader_;
  delete recorder_;
}

bool TLibraryTools::Idle() const { return form_.Button1->isEnabled(); }

LinkRecord TLibraryTools::RecordOf(const ConversionJob& job) const {
  LinkRecord link;
  link.click_url = Utf8(job.click_url);
  link.nick = Utf8(job.nick);
  link.title = Utf8(job.title);
  link.price = Utf8(job.price);
  link.commission_rate = Utf8(job.commission_rate);
  const bool item = job.kind == ConversionJob::kItem;
  link.kind = item ? EntryKind::kItem : EntryKind::kShop;
  const std::string& id = item ? job.item_cond.iids : job.shop_cond.sids;
  link.id = Utf8(id);
  // The list's rows are the search's while one runs.
  if (Idle()) {
    for (const Info& seller : finder_.Sellers()) {
      if (!item) {
        if (seller.sid != id) continue;
        if (link.nick.empty()) link.nick = Utf8(seller.nick);
        if (link.title.empty()) link.title = Utf8(seller.title);
        return link;
      }
      if (!seller.items) continue;
      for (const TaobaoSearchInfo& shown : *seller.items) {
        if (shown.iid != id) continue;
        if (link.nick.empty()) link.nick = Utf8(seller.nick);
        if (link.title.empty()) link.title = Utf8(shown.title);
        if (link.price.empty()) link.price = Utf8(shown.price);
        return link;
      }
    }
  }
  if (auto pending = pending_shops_.find(id); !item && pending != pending_shops_.end()) {
    if (link.nick.empty()) link.nick = pending->second.nick;
    if (link.title.empty()) link.title = pending->second.title;
  }
  return link;
}

void TLibraryTools::Handed(const ConversionJob& job, bool copy, bool handed) {
  if (handed) {
    LinkRecord link = RecordOf(job);
    copy ? recorder_->Copied(link) : recorder_->Opened(link);
  }
  if (job.kind != ConversionJob::kShop) return;
  auto pending = pending_shops_.find(job.shop_cond.sids);
  if (pending == pending_shops_.end()) return;
  if (--pending->second.count <= 0) pending_shops_.erase(pending);
  // The library window asked for it: it says how it went, where the user looks.
  if (!window_) return;
  if (handed) {
    window_->Say(QString::fromUtf8(copy ? "店铺推广链接已复制" : "店铺推广链接已在浏览器中打开"));
  } else {
    window_->Say(job.click_url.empty() ? LinkFailed(job.failure)
                                       : QString::fromUtf8("无法启动浏览器"));
  }
}

void TLibraryTools::ShopLinkCopied(const ShopLinkJob& job) {
  if (job.conversion.click_url.empty()) return;
  LinkRecord link = RecordOf(job.conversion);
  link.id = Utf8(job.seller.sid);
  if (link.nick.empty()) link.nick = Utf8(job.seller.nick);
  if (link.title.empty()) link.title = Utf8(job.seller.title);
  recorder_->Copied(link);
}

bool TLibraryTools::ShopSaved(int row) const {
  QTableWidgetItem* nick = form_.ListView1->item(row, 2);
  return nick != nullptr && saved_nicks_.count(nick->text().toStdString()) > 0;
}

bool TLibraryTools::CanSave() const { return recorder_->Writable(); }

void TLibraryTools::SaveShop(int row) {
  if (row < 0 || static_cast<size_t>(row) >= finder_.Sellers().size() || !Idle()) return;
  const Info& seller = finder_.Sellers()[static_cast<size_t>(row)];
  if (seller.shop_loaded) {
    SaveLookedUp(seller);
    return;
  }
  // The shop's id and title come from its lookup, off this thread, on a copy of the row.
  QMetaObject::invokeMethod(
      lookup_context_.get(),
      [this, seller, job = finder_.PrepareShopLookup(seller)]() mutable {
        Info looked_up = seller;
        bool found = finder_.RunShopLookup(job, looked_up, lookup_);
        CallFailure failure = lookup_.LastFailure();
        QMetaObject::invokeMethod(
            this,
            [this, found, looked_up, failure] {
              if (found) {
                SaveLookedUp(looked_up);
              } else {
                actions_.say(PageFailed(failure));
              }
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

void TLibraryTools::SaveLookedUp(const Info& seller) {
  library::SavedShop shop{Utf8(seller.nick),
                          Utf8(seller.sid),
                          Utf8(seller.title),
                          Utf8(seller.location),
                          seller.level,
                          "",
                          0};
  // A shop saved before keeps its note.
  recorder_->Writer().SaveShop(
      shop, std::nullopt,
      recorder_->OnWindowThread(this, [this, nick = shop.nick](const LibraryStatus& status) {
        if (!status.Ok()) {
          actions_.say(QString::fromUtf8("店铺没有收藏：") +
                       LibraryProblemText(status, recorder_->Path(), false));
          return;
        }
        saved_nicks_.insert(nick);
        actions_.say(QString::fromUtf8("已收藏店铺"));
        AfterChange();
      }));
}

void TLibraryTools::UnsaveShop(int row) {
  QTableWidgetItem* cell = form_.ListView1->item(row, 2);
  if (cell == nullptr) return;
  const QString nick = cell->text();
  // Its note goes with it: asked first.
  QMessageBox box(QMessageBox::Question, window_defaults::kProductName,
                  QString::fromUtf8("取消收藏店铺“%1”？").arg(nick),
                  QMessageBox::Yes | QMessageBox::No, &form_);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  if (box.exec() != QMessageBox::Yes) return;
  recorder_->Writer().RemoveShop(
      nick.toStdString(),
      recorder_->OnWindowThread(this, [this, nick = nick.toStdString()](const LibraryStatus& s) {
        if (!s.Ok()) {
          actions_.say(QString::fromUtf8("没有取消收藏：") +
                       LibraryProblemText(s, recorder_->Path(), false));
          return;
        }
        saved_nicks_.erase(nick);
        actions_.say(QString::fromUtf8("已取消收藏"));
        AfterChange();
      }));
}

void TLibraryTools::AfterChange() {
  MarkSaved();
  // Read again after the change, so that a read begun before it cannot undo the mark.
  ReadSavedNicks();
  if (window_) window_->ReloadSaved();
}

void TLibraryTools::ReadSavedNicks() {
  const uint64_t asked = ++nicks_asked_;
  TLibraryReader* reader = reader_;
  reader_->Run(this, [this, reader, asked](Library* library, const LibraryStatus& opened) {
    std::vector<std::string> nicks;
    LibraryStatus status = opened;
    if (library != nullptr) status = library->SavedShopNicks(nicks);
    if (library != nullptr && !status.Ok()) reader->ReadFailed(status);
    return [this, asked, status, nicks = std::move(nicks)] {
      if (asked != nicks_asked_ || !status.Ok()) return;
      saved_nicks_ = std::set<std::string>(nicks.begin(), nicks.end());
      MarkSaved();
    };
  });
}

void TLibraryTools::MarkSaved() {
  QTableWidget* list = form_.ListView1;
  for (int row = 0; row < list->rowCount(); ++row) {
    QTableWidgetItem* nick = list->item(row, 2);
    if (nick == nullptr) continue;
    const bool saved = saved_nicks_.count(nick->text().toStdString()) > 0;
    if (nick->data(TSellerListDelegate::kSavedRole).toBool() != saved) {
      nick->setData(TSellerListDelegate::kSavedRole, saved);
    }
  }
}

void TLibraryTools::OpenLibraryWindow() {
  if (!window_) {
    window_ = new TLibraryWindow(
        *reader_, *recorder_,
        {.open_address =
             [this](const std::string& address) { return actions_.open_link(Utf8ToGbk(address)); },
         .show_shop = [this](const library::SavedShop& shop) { ShowShop(shop); },
         .copy_shop_link = [this](const library::SavedShop& shop) { ConvertShop(shop, true); }},
        &form_);
    connect(window_, &TLibraryWindow::SavedShopsChanged, this, [this] { ReadSavedNicks(); });
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void TLibraryTools::ShowShop(const library::SavedShop& shop) {
  QTableWidget* list = form_.ListView1;
  if (Idle()) {
    for (int row = 0; row < list->rowCount(); ++row) {
      QTableWidgetItem* nick = list->item(row, 2);
      if (nick == nullptr || nick->text().toStdString() != shop.nick) continue;
      // A row of the list: its page, in the main window, as a click on the row shows it.
      list->scrollToItem(nick);
      actions_.show_page(row);
      form_.raise();
      form_.activateWindow();
      if (window_) window_->Say(QString::fromUtf8("店铺页面显示在主窗口中"));
      return;
    }
  }
  // Not in the list: its affiliate address, as a click on its name on its page would open.
  ConvertShop(shop, false);
}

void TLibraryTools::ConvertShop(const library::SavedShop& shop, bool copy) {
  auto say = [this](const char* text) {
    if (window_) window_->Say(QString::fromUtf8(text));
  };
  // A search, or start-up, drops every conversion asked for meanwhile.
  if (!Idle()) return say("正在搜索卖家，请在搜索结束后再试");
  if (shop.shop_id.empty()) return say("这个店铺没有店铺编号，无法获取推广链接");
  const std::string sid = Utf8ToGbk(shop.shop_id);
  PendingShop& pending = pending_shops_[sid];
  pending.nick = shop.nick;
  pending.title = shop.title;
  ++pending.count;
  loader_.Convert(finder_.PrepareShopConversion(sid),
                  copy ? TPageLoader::Use::kCopy : TPageLoader::Use::kOpen);
  if (!copy) say("正在获取店铺推广链接……");
}

}  // namespace vendrix
