// TForm1, the main window: the menu bar above the design's client area, which holds the search
// box, the seller list and the shop page in the embedded browser, over the shop finder.
// Construction runs the start-up; FormCreate starts the first search. Everything here runs on
// the window's thread; the start-up's calls run on a worker that construction waits for, and
// the search runs on a TMyThread.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <atomic>

#include "app/ShopFinder.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QWebEngineView;

namespace vendrix {

class TAddressLabel;
class TCommissionLines;
class TCountSpinBox;
class TMyThread;
class TPageLoader;
class TAffiliateTools;
class TLibraryTools;
class TSellerListDelegate;
class TStartUpAgain;
class TStartUpNotice;
class TWindowKeys;
class TWindowCentring;
class TWindowMenu;

namespace window_defaults {
inline constexpr int kClientWidth = 954;
inline constexpr int kClientHeight = 674;
inline constexpr const char* kProductName = "Vendrix";
inline constexpr int kCloseWaitMs = 1000;  // a search is stopped and waited for this long
inline constexpr int kPageCheckMs = 20;    // how soon a loaded page is asked again whose it is
inline constexpr int kPageChecks = 100;    // how often, at most
}  // namespace window_defaults

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and runs the start-up: configuration, records, categories. Returns when
  // the start-up is done; meanwhile the embedded browser loads its empty page.
  explicit TForm1(Settings settings = Settings::Current(), QWidget* parent = nullptr);
  ~TForm1() override;

  // Centres the window, fills the choosers and the columns, opens the empty page and starts
  // the first search. Called once, before the window is first shown.
  void FormCreate();

  // 1 from the start of a search worker until its last step.
  static std::atomic<bool> Searching;

  ShopFinder& Finder() { return finder_; }
  // Replaces how converted click addresses are opened (the user's web browser by default).
  void SetLinkOpener(LinkOpener open) { open_link_ = std::move(open); }
  QString ApplicationTitle() const { return application_title_; }
  // The menu bar, where further menus and entries go.
  TWindowMenu& WindowMenu() { return *menu_; }
  // The affiliate's library: the history of what the window hands over, saved shops, the
  // 收藏与记录 window.
  TLibraryTools& LibraryTools() { return *library_; }
  // Opens the account settings; once they are saved, start-up runs again (a search under way
  // stopped first), then the categories are filled and the first search starts.
  void EditAccount();

  // The handlers and steps of the window, in the names the design gives them.
  void Button1Click();
  void StartSearch();
  void EnableControls(bool enabled);
  void FillCombos();
  void MakeColumns();
  void FillList(const SearchOutcome& outcome);
  void SearchDone();
  void SearchFailed();
  void ListView1Click(const QPoint& position);
  void ShowHtml(const std::string& gbk);
  // True to cancel the navigation. With Ctrl held (a Ctrl+click) a link's converted address
  // goes to the clipboard instead of the web browser. Once the window closes, links do nothing.
  bool WebBrowser1BeforeNavigate2(const QUrl& url);
  void OpenItemLink(const std::string& iid, bool copy = false);
  void OpenShopLink(bool copy = false);
  void FormResize();
  void Label2Click();
  // Sees every event of the application before its receiver; true drops it. Keys, right-clicks
  // and the back and forward buttons never reach the page (TWindowKeys says which keys act
  // for it); Enter in the search box presses Button1.
  bool ApplicationEvents1Message(QObject* target, QEvent* event);

  // The design's client area (954 x 674 at design size), below the menu bar: the parts of the
  // layout lie on it at their design positions.
  QWidget* ClientArea = nullptr;
  // The window's parts, named as in its layout.
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  TAddressLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QComboBox* ComboBoxEx1 = nullptr;
  QComboBox* ComboBoxEx2 = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QPushButton* Button1 = nullptr;
  TCountSpinBox* SpinEdit1 = nullptr;
  QTableWidget* ListView1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QWebEngineView* WebBrowser1 = nullptr;
  QList<QPixmap> ImageList1;
  QList<QPixmap> ImageList2;
  QObject* ApplicationEvents1 = nullptr;

 signals:
  // A search ended (found or not) and its handler has run.
  void SearchEnded(bool found);
  // A page was loaded into the embedded browser.
  void PageLoaded(bool ok);
  // The shop page of `row` has been loaded into the embedded browser.
  void ShopPageShown(int row);
  // Every commission line of row `row`'s page on show is filled in.
  void CommissionsShown(int row);
  // A converted click address was handed to the link opener, or put on the clipboard; with an
  // item's commission rate as the platform gave it (hundredths of a percent), when known.
  void LinkOpened(const QString& address, const QString& commission_rate);
  void LinkCopied(const QString& address, const QString& commission_rate);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void RunStartUp();
  void SetCaption(const QString& caption);
  bool AimedAtPage(QObject* target) const;
  void StopSearch();
  // Asks for row `row`'s shop page; it shows when its calls are done, unless superseded.
  void ShowShopPage(int row);
  void PageReady(const ShopPageJob& job);
  // Asks the page whether it is the one of mark `mark`, again and again for a while.
  void ConfirmShopPageShown(int mark);
  void SetPageBusy(bool busy);
  // Hands `address` to the link opener; says so over the page when no web browser started,
  // and returns false.
  bool OpenLink(const std::string& address);
  // A link's affiliate address, to open or copy (its job's click_url; empty when there is none,
  // the job's failure saying why), then recorded in the library's history.
  void LinkConverted(const ConversionJob& job, bool copy);

  ShopFinder finder_;
  LinkOpener open_link_;
  TSellerListDelegate* delegate_ = nullptr;
  TWindowCentring* centring_ = nullptr;
  QPointer<TMyThread> worker_;
  TPageLoader* loader_ = nullptr;
  TCommissionLines* commissions_ = nullptr;
  TAffiliateTools* tools_ = nullptr;
  TLibraryTools* library_ = nullptr;
  TWindowKeys* keys_ = nullptr;
  TStartUpNotice* start_up_ = nullptr;
  TWindowMenu* menu_ = nullptr;
  TStartUpAgain* again_ = nullptr;
  int shown_row_ = -1;         // the row whose shop page the browser shows
  int loading_row_ = -1;       // the shop page handed to the browser, until it has loaded
  int page_mark_ = 0;          // the mark of the shop page handed to the browser last
  int page_checks_ = 0;        // how often the page has been asked whether it is that one
  bool confirming_ = false;    // the asking is under way
  Qt::KeyboardModifiers page_click_modifiers_;  // held at the last press or release on the page
  bool closing_ = false;
  QStringList search_failures_;  // the failed steps of the search whose rows FillList showed
  QString application_title_;
};

}  // namespace vendrix
