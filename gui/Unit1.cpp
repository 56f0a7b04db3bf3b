#include "gui/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <memory>

#include "app/ShopPage.h"
#include "gui/AccountDialog.h"
#include "gui/AddressLabel.h"
#include "gui/AffiliateTools.h"
#include "gui/BrowserEngine.h"
#include "gui/CommissionLines.h"
#include "gui/CountSpinBox.h"
#include "gui/CreditPictures.h"
#include "gui/DropDownStyle.h"
#include "gui/FailureWords.h"
#include "gui/LibraryTools.h"
#include "gui/MyThread.h"
#include "gui/PageLoader.h"
#include "gui/SellerListDelegate.h"
#include "gui/SellerListView.h"
#include "gui/StartUpAgain.h"
#include "gui/StartUpNotice.h"
#include "gui/WebPage.h"
#include "gui/WindowCentring.h"
#include "gui/WindowKeys.h"
#include "gui/WindowMenu.h"
#include "platform/CodePage.h"

namespace vendrix {

std::atomic<bool> TForm1::Searching{false};

namespace {

// The system's active-caption colour of the classic desktop, which the window's blue texts use.
const QColor kActiveCaption(10, 36, 106);
const QColor kLinkHover(255, 85, 0);
const char* const kSearchingCaption = "正在搜索卖家,请稍等......";
const char* const kNothingFound = "没有找到相关卖家";
// Said over the page for two seconds when a click could not do what it was for.
const char* const kBrowserFailed = "无法启动浏览器";

QString FromGbk(const std::string& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }
std::string ToGbk(const QString& text) { return Utf8ToGbk(text.toStdString()); }

void SetTextColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  // The Disabled group keeps the style's grey: a disabled control must look disabled.
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Active, role, color);
  palette.setColor(QPalette::Inactive, role, color);
  widget->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, const char* text, QRect geometry) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setGeometry(geometry);
  return label;
}

// Hands every event of the application to the window before its receiver sees it.
class TApplicationEvents : public QObject {
 public:
  explicit TApplicationEvents(TForm1* form) : QObject(form), form_(form) {
    qApp->installEventFilter(this);
  }
  ~TApplicationEvents() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    return form_->ApplicationEvents1Message(watched, event);
  }

 private:
  TForm1* form_;
};

}  // namespace

TForm1::TForm1(Settings settings, QWidget* parent)
    : QWidget(parent), finder_(std::move(settings)) {
  // The user's web browser starts in the environment the user set, not the engine's.
  open_link_ = [](const std::string& address) {
    return OpenInWebBrowser(address, TBrowserEngine::UserEnvironment());
  };
  BuildLayout();
  // Start-up: the window appears only once the configuration and the categories are in.
  RunStartUp();
  // Every platform call of a click runs off this thread; see TPageLoader.
  loader_ = new TPageLoader(
      finder_, [this](const ShopPageJob& job) { PageReady(job); },
      [this](const ConversionJob& job, TPageLoader::Use use) {
        LinkConverted(job, use == TPageLoader::Use::kCopy);
      },
      [this](const ShopLinkJob& job) {
        tools_->ShopLinkConverted(job);
        library_->ShopLinkCopied(job);
      },
      this);
  // What each item of the page on show pays, filled in as its conversions come.
  commissions_ = new TCommissionLines(
      finder_, WebBrowser1->page(), [this](int row) { emit CommissionsShown(row); }, this);
  // The seller list's menu, the copies and the further search conditions.
  tools_ = new TAffiliateTools(*this, finder_, *loader_);
  // The library: saved shops, the history of every address handed over, its window.
  library_ = new TLibraryTools(
      *this, finder_, *loader_,
      {.show_page =
           [this](int row) {
             ListView1->selectRow(row);
             ShowShopPage(row);
           },
       .say = [this](const QString& text) { tools_->Say(text); },
       .open_link = [this](const std::string& address) { return open_link_(address); }});
  keys_ = new TWindowKeys(*this, {.press_button1 =
                                      [this] {
                                        SpinEdit1->Commit();
                                        Button1Click();
                                      },
                                  .show_page = [this](int row) { ShowShopPage(row); }});
  ApplicationEvents1 = new TApplicationEvents(this);
  again_ = new TStartUpAgain(
      this, finder_, *start_up_,
      {.searching = [this] { return !Button1->isEnabled(); },
       .stop_search = [this] { finder_.AbortSearch(); },
       .set_busy =
           [this](bool busy) {
             // Nothing may prepare a platform call while start-up rewrites the configuration.
             if (busy) loader_->DropAll();
             EnableControls(!busy);
             menu_->AccountSettings->setEnabled(!busy);
             menu_->MoreConditions->setEnabled(!busy);
           },
       .started_up =
           [this] {
             if (closing_) return;
             FillCombos();
             StartSearch();
           }});
}

void TForm1::RunStartUp() {
  // The embedded browser's first page starts its page process now, so that it is ready by the
  // time the first shop page comes. That start needs this thread's turns: the two calls run on
  // a worker meanwhile, and this thread serves the browser until they are done.
  WebBrowser1->setUrl(QUrl("about:blank"));
  start_up_ = new TStartUpNotice(this, [this] { EditAccount(); });
  start_up_->Begin();
  QEventLoop serving;
  std::unique_ptr<QThread> worker(QThread::create([this] { finder_.StartUp(); }));
  connect(worker.get(), &QThread::finished, &serving, &QEventLoop::quit);
  worker->start();
  serving.exec(QEventLoop::ExcludeUserInputEvents);
  worker->wait();
  start_up_->Done(finder_);
}

TForm1::~TForm1() {
  closing_ = true;
  delete ApplicationEvents1;
  // The keys watch the list, which hears of the window closing after this destructor is done:
  // by then they would find a plain QWidget where the window was.
  delete keys_;
  keys_ = nullptr;
  StopSearch();
  delete library_;  // its lookups use the finder; what it has queued is written
  delete loader_;
  if (worker_) worker_->wait();
  delete again_;  // waits for a start-up under way, which uses the finder
  again_ = nullptr;
  // The worker's write after the search: reading it orders all the search wrote before the
  // finder goes, also for the thread checker, which cannot see the end of a Qt thread.
  Searching.load(std::memory_order_acquire);
  // The page calls back as it goes (a script's answer comes then, empty): it goes while the
  // window is whole and closing, not among the children a QWidget deletes after it.
  delete WebBrowser1;
  WebBrowser1 = nullptr;
}

void TForm1::BuildLayout() {
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  setFont(font);
  // The menu bar above the design's client area, which keeps its size and layout: the window
  // is taller by the bar.
  ClientArea = new QWidget(this);
  menu_ = new TWindowMenu(this, QString::fromStdString(finder_.GetSettings().VendorBase),
                          {.export_list = [this] { tools_->ExportSellers(); },
                           .can_export = [this] { return ListView1->rowCount() > 0; },
                           .quit = [this] { close(); },
                           .account_settings = [this] { EditAccount(); },
                           .more_conditions = [this] { tools_->EditSearchConditions(); }});
  resize(window_defaults::kClientWidth,
         window_defaults::kClientHeight + menu_->Place(window_defaults::kClientWidth));
  // The border does not shrink the window below its design, nor beyond what the screen can
  // show; maximising stretches it.
  centring_ = new TWindowCentring(this, size());
  setWindowTitle("");

  GroupBox1 = new QGroupBox(QString::fromUtf8("搜索店铺"), ClientArea);
  GroupBox1->setGeometry(6, 3, 351, 93);
  Label1 = MakeLabel(GroupBox1, "所属类目：", {8, 22, 60, 13});
  Label3 = MakeLabel(GroupBox1, "信用等级：", {8, 45, 60, 13});
  Label4 = MakeLabel(GroupBox1, "所在地区：", {8, 69, 60, 13});
  Label5 = MakeLabel(GroupBox1, "显示数量：", {151, 70, 60, 13});
  Label2 = new TAddressLabel(GroupBox1);
  Label2->setGeometry(270, 70, 74, 13);
  QFont label2_font = font;
  label2_font.setPixelSize(12);
  Label2->setFont(label2_font);
  Label2->SetAddress(QString::fromStdString(finder_.GetSettings().VendorBase));
  SetTextColor(Label2, QPalette::WindowText, kActiveCaption);
  Label2->setMouseTracking(true);
  Label2->installEventFilter(this);
  connect(Label2, &TAddressLabel::clicked, this, &TForm1::Label2Click);

  ComboBox1 = new QComboBox(GroupBox1);
  ComboBox1->setGeometry(69, 18, 223, 21);
  ComboBox1->setMaxVisibleItems(40);

  ImageList1 = DrawCreditPictures(QSize(120, 16));
  ImageList2 = DrawCreditPictures(QSize(88, 22));
  ComboBoxEx1 = new QComboBox(GroupBox1);
  ComboBoxEx1->setGeometry(69, 41, 111, 22);
  ComboBoxEx2 = new QComboBox(GroupBox1);
  ComboBoxEx2->setGeometry(181, 41, 111, 22);
  for (QComboBox* credit : {ComboBoxEx1, ComboBoxEx2}) {
    credit->setIconSize(QSize(120, 16));
    credit->setMaxVisibleItems(20);
    for (const QPixmap& picture : ImageList1) credit->addItem(QIcon(picture), "");
  }

  ComboBox3 = new QComboBox(GroupBox1);
  ComboBox3->setGeometry(69, 65, 76, 21);
  ComboBox3->setMaxVisibleItems(32);
  for (const Region& region : Regions()) ComboBox3->addItem(FromGbk(region.item));
  ComboBox3->setCurrentIndex(0);
  auto* drop_down_style = new TDropDownStyle(this);
  for (QComboBox* list : {ComboBox1, ComboBoxEx1, ComboBoxEx2, ComboBox3}) {
    list->setStyle(drop_down_style);
  }

  Button1 = new QPushButton(QString::fromUtf8("确定"), GroupBox1);
  Button1->setGeometry(295, 17, 50, 46);
  QFont button_font(QString::fromUtf8("宋体"));
  button_font.setPixelSize(12);
  Button1->setFont(button_font);
  SetTextColor(Button1, QPalette::ButtonText, kActiveCaption);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);

  SpinEdit1 = new TCountSpinBox(GroupBox1);
  SpinEdit1->setGeometry(212, 66, 53, 22);
  SpinEdit1->setValue(40);

  ListView1 = new TSellerListView(0, 4, ClientArea);
  ListView1->setGeometry(6, 101, 351, 566);
  ListView1->setShowGrid(true);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->verticalHeader()->hide();
  ListView1->verticalHeader()->setDefaultSectionSize(24);
  ListView1->setIconSize(QSize(88, 22));
  SetTextColor(ListView1, QPalette::Text, kActiveCaption);
  delegate_ = new TSellerListDelegate(ListView1);
  ListView1->setItemDelegate(delegate_);
  ListView1->viewport()->setMouseTracking(true);
  ListView1->viewport()->installEventFilter(this);

  GroupBox2 = new QGroupBox(ClientArea);
  GroupBox2->setGeometry(361, 3, 587, 665);
  WebBrowser1 = new QWebEngineView(GroupBox2);
  WebBrowser1->setPage(new TWebPage(
      [this](const QUrl& url) { return WebBrowser1BeforeNavigate2(url); }, WebBrowser1));
  WebBrowser1->setGeometry(3, 7, 581, 655);
  WebBrowser1->setContextMenuPolicy(Qt::NoContextMenu);
  connect(WebBrowser1, &QWebEngineView::loadFinished, this, [this](bool ok) {
    if (closing_) return;
    emit PageLoaded(ok);
    // Whether this load went well or not, the page on show says which one it is.
    if (loading_row_ >= 0 && !confirming_) {
      confirming_ = true;
      ConfirmShopPageShown(page_mark_);
    }
  });

  setTabOrder(ComboBox1, ComboBoxEx1);
  setTabOrder(ComboBoxEx1, ComboBoxEx2);
  setTabOrder(ComboBoxEx2, ComboBox3);
  setTabOrder(ComboBox3, Button1);
  setTabOrder(Button1, SpinEdit1);
  setTabOrder(SpinEdit1, ListView1);
  setTabOrder(ListView1, WebBrowser1);
  FormResize();
}

void TForm1::FormCreate() {
  // Centred on the screen by the window's outer size, a little above the middle (maximised
  // on a screen too small for it); the window manager's frame is not known yet,
  // TWindowCentring centres that once it is.
  centring_->Centre();
  FillCombos();
  MakeColumns();
  WebBrowser1->setUrl(QUrl("about:blank"));
  StartSearch();
}

void TForm1::FillCombos() {
  ComboBox1->clear();
  const ACatsInfo& cats = finder_.Cats();
  for (size_t i = 0; i < cats.size() && i < 60 && !cats[i].name.empty(); ++i) {
    ComboBox1->addItem(FromGbk(cats[i].name));
  }
  ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
  ComboBoxEx1->setCurrentIndex(0);
  ComboBoxEx2->setCurrentIndex(kCreditLevels - 1);
}

void TForm1::MakeColumns() {
  const std::vector<ListColumn>& columns = ListColumns();
  ListView1->setColumnCount(static_cast<int>(columns.size()));
  for (size_t i = 0; i < columns.size(); ++i) {
    auto* header = new QTableWidgetItem(FromGbk(columns[i].caption));
    header->setTextAlignment(Qt::AlignCenter);
    ListView1->setHorizontalHeaderItem(static_cast<int>(i), header);
    ListView1->setColumnWidth(static_cast<int>(i), columns[i].width);
  }
  ListView1->setColumnHidden(0, true);  // the item caption, always empty
}

void TForm1::Button1Click() { StartSearch(); }

void TForm1::StartSearch() {
  // Until the end of the last search has been handled, Button1 stays disabled.
  if (Searching.load() || !Button1->isEnabled()) return;
  // Without its configuration no search can run; the window says why instead.
  if (start_up_->ConfigurationUnreadable() || !tools_->ConditionsFitConfiguration()) {
    SetCaption(window_defaults::kProductName);
    return;
  }
  SetCaption(QString::fromUtf8(kSearchingCaption));
  int low = ComboBoxEx1->currentIndex();
  int high = ComboBoxEx2->currentIndex();
  ShopFinder::OrderCreditRange(low, high);
  ComboBoxEx1->setCurrentIndex(low);
  ComboBoxEx2->setCurrentIndex(high);
  ListView1->setRowCount(0);
  delegate_->SetHotRow(-1);
  // Pages and conversions asked for before this search are never shown nor opened.
  loader_->DropAll();
  commissions_->Drop();
  SetPageBusy(false);
  shown_row_ = -1;
  loading_row_ = -1;
  ShowHtml(EmptyPage());

  SearchChoices choices;
  choices.category = ComboBox1->currentIndex();
  choices.low_credit = low;
  choices.high_credit = high;
  choices.region = ComboBox3->currentIndex();
  choices.region_text = ToGbk(ComboBox3->currentText());
  choices.count = SpinEdit1->Commit();
  choices.filters = tools_->Filters();
  finder_.ClearAbort();
  worker_ = new TMyThread(this, choices);
  worker_->start();
  EnableControls(false);
}

void TForm1::EnableControls(bool enabled) {
  // The focus that disabling takes away comes back when the controls do.
  if (!enabled) keys_->SearchStarting();
  for (QWidget* control : std::initializer_list<QWidget*>{
           ComboBox1, ComboBox3, ComboBoxEx1, ComboBoxEx2, SpinEdit1, Button1, ListView1,
           WebBrowser1}) {
    control->setEnabled(enabled);
  }
  if (enabled) keys_->SearchEnded();
}

void TForm1::FillList(const SearchOutcome& outcome) {
  if (closing_) return;
  // Said when the search's end is handled: why it found nothing, or why the list is short.
  search_failures_.clear();
  for (const auto& failure : {outcome.page_failure, outcome.lookup_failure}) {
    if (failure) search_failures_ << SearchStepFailed(*failure);
  }
  tools_->SetRows(outcome.rows);
  SpinEdit1->setValue(outcome.count);
  ListView1->setRowCount(0);
  for (const SellerRow& seller : outcome.rows) {
    int row = ListView1->rowCount();
    ListView1->insertRow(row);
    ListView1->setItem(row, 0, new QTableWidgetItem(""));
    auto* credit = new QTableWidgetItem("");
    if (seller.picture >= 0 && seller.picture < ImageList2.size()) {
      credit->setData(Qt::DecorationRole, ImageList2[seller.picture]);
    }
    ListView1->setItem(row, 1, credit);
    ListView1->setItem(row, 2, new QTableWidgetItem(FromGbk(seller.nick)));
    ListView1->setItem(row, 3, new QTableWidgetItem(FromGbk(seller.location)));
  }
}

bool TForm1::event(QEvent* event) {
  if (event->type() == WM_SEARCHDONE) {
    SearchDone();
    return true;
  }
  if (event->type() == WM_SEARCHFAILED) {
    SearchFailed();
    return true;
  }
  return QWidget::event(event);
}

void TForm1::SearchDone() {
  // A search stopped for start-up to run again ends without a word.
  if (closing_ || again_->SearchEnded()) return;
  EnableControls(true);
  if (ListView1->rowCount() > 0) {
    ListView1->selectRow(0);
    ShowShopPage(0);
  }
  SetCaption(window_defaults::kProductName);
  // The rows found before a page or a look-up failed stand; what cut the list short is said.
  if (!search_failures_.isEmpty()) tools_->Say(search_failures_.join("\n"));
  emit SearchEnded(true);
}

void TForm1::SearchFailed() {
  if (closing_ || again_->SearchEnded()) return;
  EnableControls(true);
  SetCaption(window_defaults::kProductName);
  emit SearchEnded(false);
  QString text = QString::fromUtf8(kNothingFound);
  for (const QString& failure : search_failures_) text += "\n" + failure;
  // The reason carries the platform's own words: text, never markup.
  QMessageBox box(QMessageBox::Warning, window_defaults::kProductName, text, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void TForm1::ListView1Click(const QPoint& position) {
  QTableWidgetItem* item = ListView1->itemAt(position);
  if (item == nullptr) return;  // empty space below the rows
  ShowShopPage(item->row());
}

void TForm1::ShowShopPage(int row) {
  loader_->LoadPage(finder_.PrepareShopPage(static_cast<size_t>(row)));
  SetPageBusy(true);
}

void TForm1::PageReady(const ShopPageJob& job) {
  if (closing_) return;
  finder_.StoreShopPage(job);
  // The page still shows the seller; without the shop or the items it would pass for a shop
  // that has none.
  if (!job.loaded) tools_->Say(PageFailed(job.failure));
  loading_row_ = static_cast<int>(job.row);
  page_checks_ = 0;
  confirming_ = false;
  // The mark after the page tells this page from any before it; a browser shows no comment.
  ShowHtml(finder_.BuildShopPage(job.row) + "\n<!--" + std::to_string(++page_mark_) + "-->");
  commissions_->Start(job.seller, loading_row_, page_mark_);
}

void TForm1::ConfirmShopPageShown(int mark) {
  // The end of a load may still be that of the page before (an empty page set just before,
  // whose end Qt reports late, and then none for the page that replaced it): the page itself
  // says which it is by its mark, and until it is this one it is asked again, for a while.
  WebBrowser1->page()->runJavaScript(
      PageMarkTest(mark), QWebEngineScript::ApplicationWorld, [this, mark](const QVariant& shown) {
        // Another page was handed over meanwhile, or this one was already seen; or the window
        // is going, and its page with it.
        if (closing_ || mark != page_mark_ || loading_row_ < 0) return;
        if (shown.toBool()) {
          confirming_ = false;
          shown_row_ = std::exchange(loading_row_, -1);
          SetPageBusy(false);
          emit ShopPageShown(shown_row_);
          commissions_->Shown(mark);
        } else if (++page_checks_ >= window_defaults::kPageChecks) {
          // Not shown after all that asking: the page before stays, and so does its row, until
          // the browser reports another load. The cursor does not stay busy meanwhile.
          confirming_ = false;
          page_checks_ = 0;
          SetPageBusy(false);
        } else {
          QTimer::singleShot(window_defaults::kPageCheckMs, this, [this, mark] {
            if (mark == page_mark_ && loading_row_ >= 0) ConfirmShopPageShown(mark);
          });
        }
      });
}

void TForm1::SetPageBusy(bool busy) {
  // The page's own widget takes the cursor the page asks for; over it the busy one shows.
  for (QWidget* widget : {static_cast<QWidget*>(WebBrowser1), WebBrowser1->focusProxy()}) {
    if (widget == nullptr) continue;
    if (busy) {
      widget->setCursor(Qt::BusyCursor);
    } else {
      widget->unsetCursor();
    }
  }
}

void TForm1::ShowHtml(const std::string& gbk) {
  WebBrowser1->setContent(QByteArray::fromStdString(gbk + "\n"), "text/html;charset=GBK",
                          QUrl("about:blank"));
}

bool TForm1::WebBrowser1BeforeNavigate2(const QUrl& url) {
  LinkDecision decision = DecideLink(ToGbk(url.toString()));
  if (decision.kind == LinkDecision::kPass) return false;
  if (closing_) return true;
  // A Ctrl+click copies the address instead of opening it.
  bool copy =
      (page_click_modifiers_ | QGuiApplication::keyboardModifiers()).testFlag(Qt::ControlModifier);
  // The browser gets its answer at once; the conversion, a call to the platform, runs off
  // this thread and opens its address when it is done.
  if (decision.kind == LinkDecision::kItem) {
    OpenItemLink(decision.iid, copy);
  } else {
    OpenShopLink(copy);
  }
  return true;
}

void TForm1::OpenItemLink(const std::string& iid, bool copy) {
  // What the page's own conversions said of its item settles the click at once, with no call.
  if (const ItemCommission* known = commissions_->Known(iid)) {
    ConversionJob job;
    job.kind = ConversionJob::kItem;
    job.item_cond.iids = iid;
    job.click_url = known->click_url;
    job.commission_rate = known->commission_rate;
    job.commission = known->commission;
    LinkConverted(job, copy);
    return;
  }
  loader_->Convert(finder_.PrepareItemConversion(iid),
                   copy ? TPageLoader::Use::kCopy : TPageLoader::Use::kOpen);
}

void TForm1::LinkConverted(const ConversionJob& job, bool copy) {
  const std::string& address = job.click_url;
  bool handed = !address.empty();
  if (copy) {
    tools_->Copy(address, QString::fromUtf8("推广链接已复制"), job.failure, job.commission_rate);
  } else if (address.empty()) {
    tools_->Say(LinkFailed(job.failure));
  } else {
    handed = OpenLink(address);
    emit LinkOpened(FromGbk(address), FromGbk(job.commission_rate));
  }
  library_->Handed(job, copy, handed);
}

void TForm1::OpenShopLink(bool copy) {
  // The shop of the page that is shown, whichever row is selected meanwhile.
  if (shown_row_ < 0) return;
  loader_->Convert(finder_.PrepareShopConversion(finder_.Sellers()[shown_row_].sid),
                   copy ? TPageLoader::Use::kCopy : TPageLoader::Use::kOpen);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TForm1::FormResize() {
  // The design's rules hold for the client area, below the menu bar.
  const int bar = menu_->Place(width());
  ClientArea->setGeometry(0, bar, width(), height() - bar);
  ListView1->resize(ListView1->width(), ClientArea->height() - 108);
  GroupBox2->resize(ClientArea->width() - 367, ClientArea->height() - 9);
  WebBrowser1->resize(GroupBox2->width() - 6, GroupBox2->height() - 10);
}

void TForm1::EditAccount() {
  // The dialog reads what start-up wrote: not while it runs again.
  if (again_->Busy()) return;
  TAccountDialog dialog(finder_, this);
  if (dialog.exec() == QDialog::Accepted && !closing_) again_->Request();
}

void TForm1::Label2Click() { OpenLink(Utf8ToGbk(finder_.GetSettings().VendorBase)); }

bool TForm1::OpenLink(const std::string& address) {
  if (open_link_(address)) return true;
  tools_->Say(QString::fromUtf8(kBrowserFailed));
  return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  QEvent::Type type = event->type();
  if (watched == Label2) {
    if (type == QEvent::Enter || type == QEvent::MouseMove) {
      Label2->setCursor(Qt::PointingHandCursor);
      SetTextColor(Label2, QPalette::WindowText, kLinkHover);
    } else if (type == QEvent::Leave) {
      SetTextColor(Label2, QPalette::WindowText, kActiveCaption);
    }
  } else if (watched == ListView1->viewport()) {
    if (type == QEvent::MouseMove) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      int hot = ListView1->rowAt(mouse->position().toPoint().y());
      ListView1->viewport()->setCursor(hot >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
      if (hot != delegate_->HotRow()) {
        delegate_->SetHotRow(hot);
        ListView1->viewport()->update();
      }
    } else if (type == QEvent::Leave) {
      delegate_->SetHotRow(-1);
      ListView1->viewport()->update();
    } else if (type == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      ListView1Click(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool TForm1::ApplicationEvents1Message(QObject* target, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      return keys_->KeyPress(target, static_cast<QKeyEvent*>(event)) || AimedAtPage(target);
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
      return AimedAtPage(target);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      // The right button would open the page's menu, back and forward would leave the page.
      auto* mouse = static_cast<QMouseEvent*>(event);
      Qt::MouseButton button = mouse->button();
      // The keys held at the click decide what a link does, whenever its request comes.
      if (AimedAtPage(target)) page_click_modifiers_ = mouse->modifiers();
      return (button == Qt::RightButton || button == Qt::BackButton ||
              button == Qt::ForwardButton) &&
             AimedAtPage(target);
    }
    default:
      return false;
  }
}

bool TForm1::AimedAtPage(QObject* target) const {
  auto* widget = qobject_cast<QWidget*>(target);
  return widget != nullptr && (widget == WebBrowser1 || WebBrowser1->isAncestorOf(widget));
}

void TForm1::closeEvent(QCloseEvent* event) {
  closing_ = true;
  WebBrowser1->setUrl(QUrl("about:blank"));
  StopSearch();
  QWidget::closeEvent(event);
}

void TForm1::StopSearch() {
  // Everything in flight is aborted first; then each waits, within the second in all.
  finder_.AbortSearch();
  QDeadlineTimer deadline(window_defaults::kCloseWaitMs);
  loader_->Stop(static_cast<int>(deadline.remainingTime()));
  commissions_->Stop(static_cast<int>(deadline.remainingTime()));
  if (worker_) worker_->wait(deadline);
}

void TForm1::SetCaption(const QString& caption) {
  // The application's title (its taskbar entry) follows the window's caption. It is not Qt's
  // display name: Qt would append that to every window title.
  setWindowTitle(caption);
  application_title_ = caption;
}

}  // namespace vendrix
