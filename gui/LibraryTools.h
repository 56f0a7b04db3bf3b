// What the main window does with the affiliate's library: the 收藏 menu (收藏与记录..., and
// 记录推广链接 to switch recording off), 收藏店铺 / 取消收藏 in the seller list's menu with the
// saved sellers marked in the list, the history entry of every address the window opens or
// copies, and the 收藏与记录 window. Reads run on a TLibraryReader, changes on the recorder's
// writer, a shop's lookup before it is saved on a thread of its own: nothing here waits for
// the file or the platform. Window thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/ShopFinder.h"
#include "gui/LibraryRecorder.h"
#include "gui/LibraryWindow.h"

class QAction;

namespace vendrix {

class TForm1;
class TLibraryReader;
class TPageLoader;

class TLibraryTools : public QObject {
 public:
  struct Actions {
    std::function<void(int row)> show_page;        // selects row `row` and shows its shop page
    std::function<void(const QString& text)> say;  // says a text over the main window's page
    // Opens an address (GBK, as the link opener takes it); false when no browser started.
    std::function<bool(const std::string& address)> open_link;
  };

  // Puts the 收藏 menu on `form`'s menu bar and starts the library's reader and writer, for
  // the library that library::DefaultLibraryPath() names now.
  TLibraryTools(TForm1& form, ShopFinder& finder, TPageLoader& loader, Actions actions);
  // Ends the lookups, the reads and the writes (what is queued is written first).
  ~TLibraryTools() override;

  // The history's record of a converted address: what the reply said, the gaps filled from
  // the seller list (the row whose shop or items it is) and from the saved shops converted
  // from the library window.
  LinkRecord RecordOf(const ConversionJob& job) const;
  // A converted address of a click (or of the library window) was handed to the user (opened
  // or copied, as `copy` says), or, `handed` false, could not be: recorded, and told to the
  // library window when it asked for it.
  void Handed(const ConversionJob& job, bool copy, bool handed);
  // A row's shop converted for the clipboard by the list's menu.
  void ShopLinkCopied(const ShopLinkJob& job);
  TLibraryRecorder& Recorder() { return *recorder_; }

  // The list's menu: whether row `row`'s shop is saved, whether saving can be done now, and
  // saving it (looked up first when the row has no shop yet) or taking it out (confirmed).
  bool ShopSaved(int row) const;
  bool CanSave() const;
  void SaveShop(int row);
  void UnsaveShop(int row);

  // Opens the 收藏与记录 window, or brings it to the front.
  void OpenLibraryWindow();
  TLibraryWindow* Window() const { return window_; }

 private:
  // A saved shop, as a row of the library window would be shown or converted.
  struct PendingShop {
    std::string nick;
    std::string title;
    int count = 0;  // conversions asked for
  };
  // The main window's controls are on: no search, no start-up under way.
  bool Idle() const;
  void SaveLookedUp(const Info& seller);
  // Reads which shops are saved, then marks them in the list.
  void ReadSavedNicks();
  void MarkSaved();
  void AfterChange();
  void ShowShop(const library::SavedShop& shop);
  void ConvertShop(const library::SavedShop& shop, bool copy);

  TForm1& form_;
  ShopFinder& finder_;
  TPageLoader& loader_;
  Actions actions_;
  TLibraryReader* reader_ = nullptr;
  TLibraryRecorder* recorder_ = nullptr;
  QPointer<TLibraryWindow> window_;
  QAction* open_window_ = nullptr;
  QAction* recording_ = nullptr;
  std::set<std::string> saved_nicks_;                 // UTF-8, as the list shows them
  uint64_t nicks_asked_ = 0;                          // the newest read of the saved nicks
  std::map<std::string, PendingShop> pending_shops_;  // by shop id (GBK)
  // The shop lookups before saving, on a thread of their own.
  TTaobaoShop lookup_;
  QThread lookup_thread_;
  std::unique_ptr<QObject> lookup_context_;  // lives on lookup_thread_
};

}  // namespace vendrix
