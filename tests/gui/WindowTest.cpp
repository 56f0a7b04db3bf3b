// The window with the real Qt WebEngine view, offscreen, against an in-process sandbox.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolTip>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <set>
#include <csignal>
#include <fstream>
#include <sstream>

#include "VendrixVersion.h"
#include "account/OwnAccount.h"
#include "app/ShopPage.h"
#include "gui/AccountDialog.h"
#include "gui/AddressLabel.h"
#include "gui/CountSpinBox.h"
#include "gui/LibraryFilter.h"
#include "gui/LibraryModels.h"
#include "gui/LibraryTools.h"
#include "gui/LibraryWindow.h"
#include "gui/SearchConditions.h"
#include "gui/Unit1.h"
#include "gui/SellerListDelegate.h"
#include "gui/WindowMenu.h"
#include "library/Library.h"
#include "library/Sqlite.h"
#include "platform/CodePage.h"
#include "platform/IdHTTP.h"
#include "sandbox/ConfigDocument.h"
#include "sandbox/Sandbox.h"
#include "tests/support/FakeGateway.h"
#include "tests/support/ScriptedServer.h"

namespace vendrix {
namespace {

using namespace std::chrono_literals;

// Records the events a widget receives after the application's filters have had their say.
class EventRecorder : public QObject {
 public:
  explicit EventRecorder(QObject* target) { target->installEventFilter(this); }
  int Count(QEvent::Type type) const { return static_cast<int>(std::count(seen_.begin(), seen_.end(), type)); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    seen_.push_back(event->type());
    return false;
  }

 private:
  std::vector<QEvent::Type> seen_;
};

// Pixels of `picture` tinted towards the window's blue text colour (anti-aliased ones too).
int BluePixels(const QImage& picture) {
  int count = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      QColor c = picture.pixelColor(x, y);
      count += c.blue() - c.red() > 40;
    }
  }
  return count;
}

// The contrast ratio of two colours, as WCAG 2 defines it: 1 (none) to 21.
double Contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto linear = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Pixels of `area` of `picture` in a colour (text, a picture), not white or a grey.
int InkPixels(const QImage& picture, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      QColor c = picture.pixelColor(x, y);
      count +=
          std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 40;
    }
  }
  return count;
}

// Types `text` into `field` as a user does, replacing what it holds: ASCII on the keyboard,
// anything else through the input method.
void TypeInto(QWidget* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Delete);
  for (QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClicks(field, QString(c));
    } else {
      QInputMethodEvent typed;
      typed.setCommitString(QString(c));
      QApplication::sendEvent(field, &typed);
    }
  }
}

// The tooltip that shows when the pointer rests at `point` of `widget`; empty when none does.
QString TooltipAt(QWidget* widget, QPoint point) {
  // Tooltips show over the active window; offscreen, nothing activates it once a dialog has
  // gone, as a window manager would.
  widget->window()->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(widget->window()));
  QToolTip::hideText();
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
  QTest::mouseMove(widget, point);
  if (!QTest::qWaitFor([] { return QToolTip::isVisible(); }, 2000)) return QString();
  // What the user reads: a tooltip in markup shows its text.
  QString text = QToolTip::text();
  return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

// Answers every message box that opens, as its OK button would, keeping what each said.
struct MessageBoxes {
  MessageBoxes() {
    QObject::connect(&answer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        said << box->text();
        for (QAbstractButton* button : box->buttons()) offered << button->text();
        box->accept();
      }
    });
    answer.start(50);
  }
  QStringList said;
  QStringList offered;  // the buttons of every box, in turn
  QTimer answer;
};

// The library the window uses, opened for reading; nullptr when it cannot be.
std::unique_ptr<library::Library> ReadLibrary() {
  library::LibraryStatus status;
  return library::Library::Open(library::DefaultLibraryPath(), library::Library::Access::kRead,
                                status);
}

// The history in the library the window uses, newest first, once it holds `count` entries;
// what it holds after ten seconds otherwise.
std::vector<library::HistoryEntry> HistoryHolding(size_t count) {
  std::vector<library::HistoryEntry> entries;
  static_cast<void>(QTest::qWaitFor(
      [&] {
        auto opened = ReadLibrary();
        entries.clear();
        if (opened) opened->ReadHistory({.limit = 1000}, entries);
        return entries.size() >= count;
      },
      10000));
  return entries;
}

// The shops saved in the library the window uses.
std::vector<library::SavedShop> SavedShops() {
  auto opened = ReadLibrary();
  std::vector<library::SavedShop> shops;
  if (opened) opened->ReadSavedShops({}, shops);
  return shops;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each test has a library of its own, and records as it would out of the box.
    data_home_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", data_home_->path().toLocal8Bit());
    QSettings("Vendrix", "Vendrix").remove("library/record_links");
    recorder_path_ = ::testing::TempDir() + "/browser-" + std::to_string(getpid()) + ".txt";
    std::remove(recorder_path_.c_str());
    std::remove((recorder_path_ + ".env").c_str());
    std::string script = ::testing::TempDir() + "/browser-" + std::to_string(getpid()) + ".sh";
    // The address, and the environment the browser started in as far as the window's
    // embedded browser set it up.
    std::ofstream(script) << "#!/bin/sh\necho \"$1\" >> '" << recorder_path_ << "'\n"
                          << "echo \"${QT_XCB_GL_INTEGRATION-unset}|"
                          << "${QTWEBENGINE_CHROMIUM_FLAGS-unset}\" >> '" << recorder_path_
                          << ".env'\n";
    chmod(script.c_str(), 0755);
    qputenv("BROWSER", QByteArray::fromStdString(script));
  }
  void TearDown() override {
    form_.reset();
    sandbox_.reset();
  }

  void StartSandbox(sandbox::SandboxOptions options = {.seed = 7}) {
    options.log_path = ::testing::TempDir() + "/sandbox-" + std::to_string(getpid()) + ".log";
    std::remove(options.log_path.c_str());
    log_path_ = options.log_path;
    sandbox_ = std::make_unique<sandbox::Sandbox>(options);
    sandbox_->Start();
  }
  Settings SandboxSettings() const {
    Settings s;
    s.VendorBase = sandbox_->Base();
    s.Gateway = sandbox_->Base() + "router/rest";
    s.ShopLogo = sandbox_->Base() + "shop-logo";
    s.RankPics = sandbox_->Base() + "newrank/";
    return s;
  }
  // The window after FormCreate, shown, with its first search ended and row 0's page shown.
  void OpenWindow(bool wait = true, std::optional<Settings> settings = std::nullopt) {
    form_ = std::make_unique<TForm1>(settings.value_or(SandboxSettings()));
    commissions_shown_.clear();
    QObject::connect(form_.get(), &TForm1::CommissionsShown,
                     [this](int row) { commissions_shown_.push_back(row); });
    QSignalSpy ended(form_.get(), &TForm1::SearchEnded);
    QSignalSpy shown(form_.get(), &TForm1::ShopPageShown);
    form_->FormCreate();
    form_->show();
    if (wait) {
      ASSERT_TRUE(ended.wait(20000)) << "the first search did not end";
      if (ended.at(0).at(0).toBool()) {
        ASSERT_TRUE(shown.count() > 0 || shown.wait(20000)) << "row 0's page did not show";
      }
    }
  }
  // Waits until every commission line of row `row`'s page on show is filled in.
  bool WaitForCommissions(int row, int ms = 10000) {
    return QTest::qWaitFor(
        [&] { return !commissions_shown_.empty() && commissions_shown_.back() == row; }, ms);
  }
  // What the line under the price of item `index` of the page says.
  QString CommissionLine(int index) {
    return RunJs(QString("document.getElementById('commission-%1').textContent").arg(index))
        .toString();
  }
  // An item the platform converts, of a seller other than `nick`: on no page of that seller.
  std::string ItemOfAnotherSeller(const QString& nick) const {
    for (const sandbox::Item& item : sandbox_->Market().Items()) {
      const sandbox::Seller& seller = sandbox_->Market().Sellers()[item.seller];
      if (seller.affiliate && seller.nick != nick.toStdString()) return item.iid;
    }
    return "";
  }
  // Makes the first item link of the page (row `row`'s) lead to an item of another seller and
  // spreads it over `area`: a click there converts it with a call, as the page knows nothing
  // of it. Returns that item's id.
  std::string SpreadItemOfAnotherSeller(int row, QRect area) {
    std::string iid = ItemOfAnotherSeller(form_->ListView1->item(row, 2)->text());
    RunJs(QString("document.querySelector('.title a').setAttribute('href', 'http://iid%1/')")
              .arg(QString::fromStdString(iid)));
    EXPECT_EQ(SpreadLink(".title a", area).toStdString(), iid);
    return iid;
  }
  bool WaitForSearch(int ms = 20000) {
    QSignalSpy ended(form_.get(), &TForm1::SearchEnded);
    return ended.wait(ms);
  }
  QString PageHtml() {
    QString html;
    bool done = false;
    form_->WebBrowser1->page()->toHtml([&](const QString& text) {
      html = text;
      done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000)) << "no page text";
    return html;
  }
  bool WaitForPageContaining(const QString& text, int ms = 10000) {
    return QTest::qWaitFor([&] { return PageHtml().contains(text); }, ms);
  }
  QVariant RunJs(const QString& code) {
    QVariant result;
    bool done = false;
    // In the window's own world: the page runs no script of its own.
    form_->WebBrowser1->page()->runJavaScript(code, QWebEngineScript::ApplicationWorld,
                                              [&](const QVariant& value) {
                                                result = value;
                                                done = true;
                                              });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000)) << "no answer from the page";
    return result;
  }
  // The addresses the web browser was started with (or, with ".env", the environment it saw).
  std::vector<std::string> Recorded(const std::string& suffix = "") const {
    std::vector<std::string> lines;
    std::ifstream file(recorder_path_ + suffix);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }
  // Lines of the sandbox's log that hold every one of `needles`.
  std::vector<std::string> Logged(std::initializer_list<std::string> needles) const {
    std::ifstream file(log_path_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
      bool all = true;
      for (const std::string& needle : needles) all = all && line.find(needle) != std::string::npos;
      if (all) lines.push_back(line.substr(line.rfind('\t') + 1));  // the query
    }
    return lines;
  }
  int LogLines(std::initializer_list<std::string> needles) const {
    return static_cast<int>(Logged(needles).size());
  }
  // Spreads the first link of the page that `selector` finds over `area` of the page, so that a
  // mouse click anywhere in it lands on that link; returns the link's item id ("" for a shop).
  QString SpreadLink(const QString& selector, QRect area) {
    return RunJs(QString("var a = document.querySelector('%1');"
                         "a.style.cssText = 'position:fixed;display:block;z-index:99;"
                         "left:%2px;top:%3px;width:%4px;height:%5px';"
                         "a.getAttribute('href')")
                     .arg(selector)
                     .arg(area.x())
                     .arg(area.y())
                     .arg(area.width())
                     .arg(area.height()))
        .toString()
        .mid(10)
        .chopped(1);
  }
  // Clicks the page at `point` with the mouse, as a user does.
  void ClickOnPage(QPoint point, Qt::KeyboardModifiers modifiers = {},
                   Qt::MouseButton button = Qt::LeftButton) {
    QWidget* page =
        form_->WebBrowser1->focusProxy() ? form_->WebBrowser1->focusProxy() : form_->WebBrowser1;
    // The pointer goes there first, as a user's does, and the page sees it arrive.
    QTest::mouseMove(page, point);
    QTest::qWait(50);
    QTest::mouseClick(page, button, modifiers, point);
  }
  // Starts the sandbox and the window and waits for row 0's page: row 0's nick, empty when
  // the page never showed.
  QString OpenOnFirstPage() {
    StartSandbox();
    OpenWindow();
    QString nick = form_->ListView1->item(0, 2)->text();
    return WaitForPageContaining("卖家昵称：" + nick) ? nick : QString();
  }
  // The status said over the page, while it shows; empty otherwise.
  QString Note() const {
    auto* note = form_->findChild<QLabel*>("CopyNote");
    return note != nullptr && note->isVisible() ? note->text() : QString();
  }
  // Makes the window the active one, as a user's click on it does: keys go to its focus.
  void ActivateWindow() { Activate(form_.get()); }
  // Presses `key` as a keyboard does: to whatever has the focus in the active window.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(form_->windowHandle(), key, modifiers);
  }
  bool FocusInPage() const {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr &&
           (focus == form_->WebBrowser1 || form_->WebBrowser1->isAncestorOf(focus));
  }
  std::string FocusName() const {
    QWidget* focus = QApplication::focusWidget();
    return focus == nullptr ? "nothing has the focus"
                            : "the focus is on a " + std::string(focus->metaObject()->className());
  }
  // Right-clicks row `row` of the seller list through the window system, as a user does (a
  // menu already open when `row` is -1), then picks `entry` of the menu that opens.
  void PickFromListMenu(int row, const QString& entry) {
    TForm1& f = *form_;
    if (row >= 0) {
      QTest::mouseClick(f.windowHandle(), Qt::RightButton, {},
                        f.ListView1->viewport()->mapTo(&f, RowCenter(row)));
    }
    QMenu* menu = nullptr;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; },
        5000));
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (action->text() == entry) {
        menu->close();
        action->trigger();
        return;
      }
    }
    ADD_FAILURE() << "no menu entry " << entry.toStdString();
  }
  // Answers the next modal dialog of type Dialog, once it is open, with `answer`.
  template <typename Dialog>
  static void WhenOpen(std::function<void(Dialog*)> answer) {
    auto* poll = new QTimer(QApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
      if (auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget())) {
        poll->deleteLater();
        poll->stop();
        answer(dialog);
      }
    });
    poll->start(50);
  }
  // Clicks the button of `box` that reads `text`, as a user does.
  static void ClickButton(QWidget* box, const QString& text) {
    for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
      if (button->text() == text && button->isVisible()) {
        QTest::mouseClick(button, Qt::LeftButton);
        return;
      }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
  }
  // The menu that opens next, by a click or a key, once it is open; nullptr when none does.
  static QMenu* OpenedMenu() {
    QMenu* menu = nullptr;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; },
        5000))
        << "no menu opened";
    return menu;
  }
  // Clicks the menu bar's title `title`, as a user does; returns the menu that opens.
  QMenu* ClickMenuTitle(const QString& title) {
    QMenuBar* bar = form_->WindowMenu().Bar();
    for (QAction* menu : bar->actions()) {
      if (menu->text() == title) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
        return OpenedMenu();
      }
    }
    ADD_FAILURE() << "no menu " << title.toStdString();
    return nullptr;
  }
  // Clicks `entry` of the open `menu`, as a user does.
  static void ClickEntry(QMenu* menu, QAction* entry) {
    ASSERT_NE(menu, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
  }
  QPoint RowCenter(int row) const {
    QTableWidget* list = form_->ListView1;
    return QPoint(list->columnViewportPosition(2) + 10,
                  list->rowViewportPosition(row) + list->rowHeight(row) / 2);
  }
  // The star pixels of row `row`'s nick in the seller list, as it is drawn now.
  int StarPixelsOfRow(int row) const {
    QTableWidget* list = form_->ListView1;
    const QImage picture = list->viewport()->grab().toImage();
    const QRect area = list->visualItemRect(list->item(row, 2));
    const QColor star = TSellerListDelegate::SavedColor();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        QColor c = picture.pixelColor(x, y);
        count += std::abs(c.red() - star.red()) < 40 &&
                 std::abs(c.green() - star.green()) < 40 && c.blue() < 90;
      }
    }
    return count;
  }
  // Opens 收藏与记录 from the menu bar with the mouse; the window once both its tables have
  // their first rows.
  TLibraryWindow* OpenLibraryWindow() {
    ActivateWindow();
    QMenu* menu = ClickMenuTitle("收藏");
    if (menu == nullptr) return nullptr;
    ClickEntry(menu, menu->actions().value(0));
    TLibraryWindow* window = nullptr;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          window = form_->LibraryTools().Window();
          return window != nullptr && window->isVisible() && !window->Saved->Reading() &&
                 !window->History->Reading();
        },
        10000))
        << "the library window did not open with its rows";
    return window;
  }
  // The point of row `row` of `view` (as sorted), on its title.
  static QPoint TableRow(QTableView* view, int row) {
    return view->visualRect(view->model()->index(row, 3)).center();
  }
  // Double-clicks row `row` of `view` through the window system, as a user does.
  static void DoubleClickRow(QTableView* view, int row) {
    QWidget* window = view->window();
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {},
                       view->viewport()->mapTo(window, TableRow(view, row)));
  }
  // Right-clicks row `row` of `view` through the window system and clicks `entry` of the menu
  // that opens; false when there is no such entry, or it cannot be picked.
  static bool PickFromTableMenu(QTableView* view, int row, const QString& entry) {
    QWidget* window = view->window();
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                      view->viewport()->mapTo(window, TableRow(view, row)));
    QMenu* menu = OpenedMenu();
    if (menu == nullptr) return false;
    for (QAction* action : menu->actions()) {
      if (action->text() != entry) continue;
      if (!action->isEnabled()) {
        menu->close();
        return false;
      }
      ClickEntry(menu, action);
      return true;
    }
    menu->close();
    ADD_FAILURE() << "no menu entry " << entry.toStdString();
    return false;
  }
  // The text of row `row`, column `column` of `view`, as the user reads it.
  static QString Cell(QTableView* view, int row, int column) {
    return view->model()->index(row, column).data().toString();
  }
  // Writes to the library the window will use, as the command line would before it starts.
  static void Seed(const std::function<void(library::Library&)>& write) {
    library::LibraryStatus status;
    auto opened = library::Library::Open(library::DefaultLibraryPath(),
                                         library::Library::Access::kWrite, status);
    ASSERT_TRUE(opened) << status.message;
    write(*opened);
  }
  // Answers the next message box with its button `button` ("是(&Y)", "否(&N)").
  static void AnswerNextBox(const QString& button) {
    WhenOpen<QMessageBox>([button](QMessageBox* box) { ClickButton(box, button); });
  }
  // A path for an export in the test's temporary folder, with nothing there yet.
  static std::string ExportPath(const std::string& stem) {
    std::string path = QDir::cleanPath(QString::fromStdString(::testing::TempDir() + "/" + stem +
                                                              "-" + std::to_string(getpid()) +
                                                              ".csv"))
                           .toStdString();
    std::remove(path.c_str());
    return path;
  }
  // Types `name` into the next file dialog's name box and accepts it, as a user does.
  static void SaveAsInNextDialog(const std::string& name) {
    WhenOpen<QFileDialog>([name](QFileDialog* dialog) {
      auto* box = dialog->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(box, nullptr);
      box->setText(QString::fromStdString(name));
      QMetaObject::invokeMethod(dialog, "accept");
    });
  }
  // What the file at `path` holds; the file is removed.
  static std::string TakeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(file), {}};
    std::remove(path.c_str());
    return text;
  }
  // Right-clicks row `row` of the seller list through the window system; the entries of the
  // menu that opens which can be picked.
  QStringList ListMenuEntries(int row) {
    QTest::mouseClick(form_->windowHandle(), Qt::RightButton, {},
                      form_->ListView1->viewport()->mapTo(form_.get(), RowCenter(row)));
    QMenu* menu = OpenedMenu();
    QStringList entries;
    if (menu == nullptr) return entries;
    for (QAction* action : menu->actions()) {
      if (action->isEnabled()) entries << action->text();
    }
    menu->close();
    return entries;
  }
  // Clicks the header of `column` of `view`, as a user sorts by it.
  static void ClickHeader(QTableView* view, int column) {
    QHeaderView* header = view->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
  }
  // Makes the library window the active one, as a user's click on it does.
  static void Activate(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  // The rows `view` shows once it shows `count` of them (ten seconds at most).
  static int RowsOnceThere(QTableView* view, int count) {
    static_cast<void>(
        QTest::qWaitFor([&] { return view->model()->rowCount() == count; }, 10000));
    return view->model()->rowCount();
  }

  std::unique_ptr<QTemporaryDir> data_home_;
  std::unique_ptr<sandbox::Sandbox> sandbox_;
  std::unique_ptr<TForm1> form_;
  std::vector<int> commissions_shown_;  // the rows whose commission lines were all filled in
  std::string recorder_path_;
  std::string log_path_;
};

TEST_F(WindowTest, LayoutAfterConstructionAndAfterResize) {
  StartSandbox();
  form_ = std::make_unique<TForm1>(SandboxSettings());
  TForm1& f = *form_;
  EXPECT_EQ(f.windowTitle(), "") << "empty until the first search";
  // The menu bar above the design's client area, which keeps its size: the window is taller.
  QMenuBar* bar = f.WindowMenu().Bar();
  const int above = bar->height();
  ASSERT_GE(above, bar->sizeHint().height());
  EXPECT_EQ(f.size(), QSize(954, 674 + above));
  struct Expect {
    QWidget* widget;
    QRect geometry;
  };
  const Expect layout[] = {
      {bar, {0, 0, 954, above}},          {f.ClientArea, {0, above, 954, 674}},
      {f.GroupBox1, {6, 3, 351, 93}},     {f.Label1, {8, 22, 60, 13}},
      {f.Label3, {8, 45, 60, 13}},        {f.Label4, {8, 69, 60, 13}},
      {f.Label5, {151, 70, 60, 13}},      {f.Label2, {270, 70, 74, 13}},
      {f.ComboBox1, {69, 18, 223, 21}},   {f.ComboBoxEx1, {69, 41, 111, 22}},
      {f.ComboBoxEx2, {181, 41, 111, 22}}, {f.ComboBox3, {69, 65, 76, 21}},
      {f.Button1, {295, 17, 50, 46}},     {f.SpinEdit1, {212, 66, 53, 22}},
      {f.ListView1, {6, 101, 351, 566}},  {f.GroupBox2, {361, 3, 587, 665}},
      {f.WebBrowser1, {3, 7, 581, 655}},
  };
  for (const Expect& e : layout) {
    EXPECT_EQ(e.widget->geometry(), e.geometry) << e.widget->metaObject()->className();
  }
  EXPECT_EQ(f.GroupBox1->title(), "搜索店铺");
  EXPECT_EQ(f.Label1->text(), "所属类目：");
  EXPECT_EQ(f.Button1->text(), "确定");
  EXPECT_EQ(f.Button1->font().pixelSize(), 12);
  EXPECT_EQ(f.font().pixelSize(), 11);
  EXPECT_EQ(f.ComboBoxEx1->count(), 20);
  EXPECT_EQ(f.ComboBoxEx2->count(), 20);
  EXPECT_EQ(f.ComboBox3->count(), 63);
  EXPECT_EQ(f.ComboBox3->maxVisibleItems(), 32);
  EXPECT_EQ(f.ComboBox3->currentText(), "所有地区");
  EXPECT_EQ(f.SpinEdit1->minimum(), 1);
  EXPECT_EQ(f.SpinEdit1->maximum(), 120);
  EXPECT_EQ(f.SpinEdit1->value(), 40);
  EXPECT_EQ(f.ImageList1.size(), 20);
  EXPECT_EQ(f.ImageList1[0].size(), QSize(120, 16));
  EXPECT_EQ(f.ImageList2[19].size(), QSize(88, 22));
  EXPECT_EQ(f.ComboBox1->nextInFocusChain(), f.ComboBoxEx1) << "tab order";
  EXPECT_EQ(f.Button1->nextInFocusChain(), f.SpinEdit1);

  f.FillCombos();
  f.MakeColumns();
  EXPECT_EQ(f.ComboBox1->itemText(0), "所有类目");
  EXPECT_EQ(f.ComboBox1->count(), 58) << "63 categories less the six left out, and 所有类目";
  EXPECT_EQ(f.ComboBoxEx2->currentIndex(), 19);
  EXPECT_EQ(f.ListView1->horizontalHeaderItem(1)->text(), "信用等级");
  EXPECT_EQ(f.ListView1->columnWidth(2), 121);

  f.show();
  f.resize(1200, 800 + above);
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.GroupBox2->width() == 833; }, 5000));
  EXPECT_EQ(f.ClientArea->geometry(), QRect(0, above, 1200, 800));
  EXPECT_EQ(bar->geometry(), QRect(0, 0, 1200, above));
  EXPECT_EQ(f.ListView1->geometry(), QRect(6, 101, 351, 692));
  EXPECT_EQ(f.GroupBox2->geometry(), QRect(361, 3, 833, 791));
  EXPECT_EQ(f.WebBrowser1->geometry(), QRect(3, 7, 827, 781));
  EXPECT_EQ(f.GroupBox1->geometry(), QRect(6, 3, 351, 93)) << "the search box stays";
}

TEST_F(WindowTest, FirstSearchFillsTheListAndShowsTheFirstShop) {
  StartSandbox();
  OpenWindow();
  TForm1& f = *form_;
  ASSERT_EQ(f.ListView1->rowCount(), 40);
  EXPECT_EQ(f.windowTitle(), "Vendrix");
  EXPECT_EQ(f.ApplicationTitle(), "Vendrix");
  EXPECT_TRUE(f.Button1->isEnabled());
  EXPECT_EQ(f.ListView1->selectionModel()->selectedRows().at(0).row(), 0);
  QString nick = f.ListView1->item(0, 2)->text();
  ASSERT_TRUE(WaitForPageContaining("卖家昵称：" + nick));
  QString html = PageHtml();
  EXPECT_TRUE(html.contains("http://iid")) << "the shop's items";
  EXPECT_TRUE(html.contains(QString::fromStdString(sandbox_->Base()) + "newrank/"));
  EXPECT_TRUE(f.ListView1->item(0, 1)->data(Qt::DecorationRole).canConvert<QPixmap>());
}

TEST_F(WindowTest, ASearchThatFindsNothingWarns) {
  sandbox::SandboxOptions options{.seed = 7};
  StartSandbox(options);
  OpenWindow();
  TForm1& f = *form_;
  // No seller of the highest level is in Tibet in this marketplace.
  for (const auto& seller : sandbox_->Market().Sellers()) {
    ASSERT_FALSE(seller.affiliate && seller.level == 20 && seller.state == "西藏")
        << "pick another region";
  }
  f.ComboBox3->setCurrentIndex(f.ComboBox3->findText("西藏"));
  f.ComboBoxEx1->setCurrentIndex(19);
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer closer;
  closer.setInterval(50);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      title = box->windowTitle();
      icon = box->icon();
      box->accept();
    }
  });
  closer.start();
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty(); }, 20000));
  EXPECT_EQ(text, "没有找到相关卖家");
  EXPECT_EQ(title, "Vendrix");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(f.ListView1->rowCount(), 0);
  EXPECT_TRUE(f.Button1->isEnabled());
  EXPECT_EQ(f.windowTitle(), "Vendrix");

  // A search whose first page fails says which step failed and why, on a second line; one
  // whose later page fails keeps its rows and says so over the page.
  f.ComboBox3->setCurrentIndex(0);
  f.ComboBoxEx1->setCurrentIndex(0);
  sandbox_->SetFailingPage(1);
  text.clear();
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty(); }, 20000));
  EXPECT_EQ(text.toStdString(),
            "没有找到相关卖家\n第 1 页商品搜索失败：服务器返回 HTTP/1.1 500 Internal Server Error");
  sandbox_->SetFailingPage(2);
  f.SpinEdit1->setValue(120);
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  ASSERT_TRUE(WaitForSearch());
  EXPECT_GT(f.ListView1->rowCount(), 0);
  EXPECT_LT(f.ListView1->rowCount(), 120);
  EXPECT_EQ(Note().toStdString(),
            "第 2 页商品搜索失败：服务器返回 HTTP/1.1 500 Internal Server Error");
}

TEST_F(WindowTest, ControlsAreDisabledDuringASearchAndASecondPressIsIgnored) {
  StartSandbox({.seed = 7, .latency_ms = 300});
  OpenWindow();
  TForm1& f = *form_;
  int first_pages = LogLines({"taobao.taobaoke.items.get", "&page_no=1&"});  // page 1 of the affiliate items
  EXPECT_EQ(first_pages, 1);

  // A count typed out of range and Enter pressed in the count box: the search starts with 120.
  f.SpinEdit1->setFocus();
  f.SpinEdit1->selectAll();
  QTest::keyClicks(f.SpinEdit1, "500");
  QTest::keyClick(f.SpinEdit1, Qt::Key_Return);
  EXPECT_TRUE(TForm1::Searching.load());
  EXPECT_EQ(f.SpinEdit1->value(), 120);
  EXPECT_EQ(f.windowTitle(), "正在搜索卖家,请稍等......");
  for (QWidget* control : std::initializer_list<QWidget*>{
           f.ComboBox1, f.ComboBox3, f.ComboBoxEx1, f.ComboBoxEx2, f.SpinEdit1, f.Button1,
           f.ListView1, f.WebBrowser1}) {
    EXPECT_FALSE(control->isEnabled());
  }
  EXPECT_EQ(BluePixels(f.Button1->grab().toImage()), 0) << "the disabled button's text is grey";
  f.Button1Click();  // as a press that slipped through would
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  ASSERT_TRUE(WaitForSearch());
  EXPECT_GT(BluePixels(f.Button1->grab().toImage()), 20) << "enabled, its text is blue again";
  EXPECT_EQ(f.ListView1->rowCount(), 120);
  QTest::qWait(500);
  EXPECT_EQ(LogLines({"taobao.taobaoke.items.get", "&page_no=1&"}), 2) << "exactly one more search ran";

  // A press the moment the end of a search has enabled 确定 starts the next search.
  QString caption_after_press;
  QObject::connect(&f, &TForm1::SearchEnded, &f, [&] {
    if (!caption_after_press.isEmpty()) return;
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    caption_after_press = f.windowTitle();
  });
  f.Button1Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !caption_after_press.isEmpty(); }, 20000));
  EXPECT_EQ(caption_after_press, "正在搜索卖家,请稍等......") << "the press was dropped";
  ASSERT_TRUE(WaitForSearch());
}

TEST_F(WindowTest, SearchesBackToBackEachEndWithTheirOwnRows) {
  StartSandbox();
  OpenWindow();
  TForm1& f = *form_;
  const int regions[] = {1, 2, 8, 0, 12};  // 江浙沪, 珠三角, 杭州, 所有地区, 武汉
  for (int region : regions) {
    f.ComboBox3->setCurrentIndex(region);
    f.SpinEdit1->setValue(15);
    QSignalSpy ended(&f, &TForm1::SearchEnded);
    f.Button1Click();
    ASSERT_TRUE(ended.wait(20000)) << region;
    ASSERT_TRUE(ended.at(0).at(0).toBool()) << region;
    ASSERT_GT(f.ListView1->rowCount(), 0) << region;
    std::string area = f.Finder().KeItemCond.area;
    if (region == 8) {
      EXPECT_EQ(area, "\xBA\xBC\xD6\xDD") << "杭州 in GBK";
    }
  }
  EXPECT_FALSE(TForm1::Searching.load());
}

TEST_F(WindowTest, ListClicksShowTheirRowAndKeepItSelected) {
  StartSandbox();
  form_ = std::make_unique<TForm1>(SandboxSettings());
  form_->SpinEdit1->setValue(3);
  QSignalSpy ended(form_.get(), &TForm1::SearchEnded);
  form_->FormCreate();
  form_->show();
  ASSERT_TRUE(ended.wait(20000));
  ASSERT_EQ(form_->ListView1->rowCount(), 3);
  ASSERT_TRUE(WaitForPageContaining(form_->ListView1->item(0, 2)->text()));
  int searches = LogLines({"taobao.items.search"});
  QTest::mouseClick(form_->ListView1->viewport(), Qt::LeftButton, {}, QPoint(100, 300));
  QTest::qWait(300);
  EXPECT_EQ(LogLines({"taobao.items.search"}), searches);
  EXPECT_TRUE(PageHtml().contains(form_->ListView1->item(0, 2)->text()));

  // A click on row 2 shows its shop; clicking it again fetches its items again, not its shop.
  QTest::mouseClick(form_->ListView1->viewport(), Qt::LeftButton, {}, RowCenter(2));
  ASSERT_TRUE(WaitForPageContaining("卖家昵称：" + form_->ListView1->item(2, 2)->text()));
  int shops = LogLines({"taobao.shop.get"});
  QTest::mouseClick(form_->ListView1->viewport(), Qt::LeftButton, {}, RowCenter(2));
  QTest::qWait(200);
  EXPECT_EQ(LogLines({"taobao.shop.get"}), shops);
  EXPECT_EQ(LogLines({"taobao.items.search"}), searches + 2);

  // A Ctrl+click on the selected row loads its page again and leaves it selected.
  QTest::mouseClick(form_->ListView1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    RowCenter(2));
  QImage list = form_->ListView1->viewport()->grab().toImage();
  EXPECT_EQ(list.pixelColor(3, form_->ListView1->rowViewportPosition(2) + 3),
            form_->ListView1->palette().color(QPalette::Active, QPalette::Highlight))
      << "the row is no longer highlighted";
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return LogLines({"taobao.items.search"}) == searches + 3; }, 5000));
}

TEST_F(WindowTest, ItemAndShopLinksOpenTheirClickAddressesAndThePageStays) {
  QString first_nick = OpenOnFirstPage();
  ASSERT_FALSE(first_nick.isEmpty());
  TForm1& f = *form_;
  // An item whose address came with the page's commissions opens it at once: no call is sent.
  ASSERT_TRUE(WaitForCommissions(0));
  QString iid = SpreadLink(".title a", QRect(0, 0, 200, 200));
  ASSERT_FALSE(iid.isEmpty());
  const sandbox::Item* item = sandbox_->Market().ItemByIid(iid.toStdString());
  ASSERT_NE(item, nullptr);
  int conversions = LogLines({"taobao.taobaoke.items.convert"});
  ClickOnPage(QPoint(100, 100));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Recorded().empty(); }, 10000));
  std::string expected = sandbox_->Base() + "click?kind=item&iid=" + iid.toStdString() + "&nick=";
  EXPECT_TRUE(Recorded()[0].starts_with(expected)) << Recorded()[0];
  EXPECT_EQ(LogLines({"taobao.taobaoke.items.convert"}), conversions) << "a call was sent";
  QTest::qWait(300);
  EXPECT_TRUE(PageHtml().contains("卖家昵称：" + first_nick)) << "the page stays";
  // The address opened is in the history, with what the platform said of the item.
  std::vector<library::HistoryEntry> history = HistoryHolding(1);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].id, iid.toStdString());
  EXPECT_EQ(history[0].title, item->title);
  EXPECT_EQ(history[0].commission_rate, item->commission_rate);
  EXPECT_EQ(history[0].click_url, Recorded()[0]);

  // Select row 1, then follow a shop link naming somebody else: row 1's shop is converted.
  QSignalSpy shown(&f, &TForm1::ShopPageShown);
  QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(1));
  QString second_nick = f.ListView1->item(1, 2)->text();
  ASSERT_TRUE(WaitForPageContaining("卖家昵称：" + second_nick));
  // Back and forward never change the page: not the mouse's buttons as soon as the page
  // shows, nor its history once it has loaded.
  QWidget* page = f.WebBrowser1->focusProxy() ? f.WebBrowser1->focusProxy() : f.WebBrowser1;
  QTest::mouseClick(page, Qt::BackButton, {}, QPoint(50, 50));
  QTest::mouseClick(page, Qt::ForwardButton, {}, QPoint(50, 50));
  ASSERT_TRUE(shown.count() > 0 || shown.wait(10000)) << "row 1's page never finished loading";
  RunJs("history.back()");
  auto went_back = [&] { return !PageHtml().contains("卖家昵称：" + second_nick); };
  EXPECT_FALSE(QTest::qWaitFor(went_back, 1000)) << "the page went back";
  RunJs("var a = document.createElement('a'); a.href = 'http://somebody-else/';"
        "document.body.appendChild(a);");
  SpreadLink("a[href=\"http://somebody-else/\"]", QRect(300, 0, 200, 200));
  ClickOnPage(QPoint(400, 100));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() >= 2; }, 10000));
  std::string sid = f.Finder().Sellers()[1].sid;
  ASSERT_FALSE(sid.empty());
  EXPECT_TRUE(Recorded()[1].starts_with(sandbox_->Base() + "click?kind=shop&sid=" + sid + "&"))
      << Recorded()[1];
  history = HistoryHolding(2);
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].nick, second_nick.toStdString()) << "the seller of the page shown";
  EXPECT_EQ(history[0].title, sandbox_->Market().SellerBySid(sid)->shop_title);
  EXPECT_EQ(history[0].click_url, Recorded()[1]);

  // Row 0's item on row 1's page: row 0's page lends it no address, it is converted by a call.
  ASSERT_TRUE(WaitForCommissions(1));
  RunJs("document.querySelector('.title a').setAttribute('href', 'http://iid" + iid + "/')");
  ASSERT_EQ(SpreadLink(".title a", QRect(0, 0, 200, 200)), iid);
  ClickOnPage(QPoint(100, 100));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() >= 3; }, 10000));
  EXPECT_TRUE(Recorded()[2].starts_with(expected)) << Recorded()[2];
  EXPECT_EQ(LogLines({"taobao.taobaoke.items.convert", "iids=" + iid.toStdString() + "&"}), 1);

  // Start-up, search, shop page and both conversions went by; the secret never travelled.
  EXPECT_GT(LogLines({"/router/rest"}), 5);
  EXPECT_EQ(LogLines({sandbox::sandbox_credentials::kAppSecret}), 0);
}

// No click waits for the platform: the row is highlighted at once while its page loads, a
// newer row supersedes an older one, and links of the page shown convert meanwhile, in order.
TEST_F(WindowTest, ClicksNeverWaitForThePlatformAndTheLastRowWins) {
  QString first_nick = OpenOnFirstPage();
  ASSERT_FALSE(first_nick.isEmpty());
  TForm1& f = *form_;
  const QRect item_area(0, 0, 200, 200), shop_area(300, 0, 200, 200);
  QString iid = SpreadLink(".title a", item_area);
  ASSERT_FALSE(iid.isEmpty());
  SpreadLink(".myshop > a", shop_area);
  sandbox_->SetLatency(400);
  QSignalSpy shown(&f, &TForm1::ShopPageShown);

  QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(1));
  QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(2));
  // What the user sees right after the click, with row 2's calls still under way.
  QImage list = f.ListView1->viewport()->grab().toImage();
  QColor highlight = f.ListView1->palette().color(QPalette::Active, QPalette::Highlight);
  auto row_colour = [&](int row) { return list.pixelColor(3, f.ListView1->rowViewportPosition(row) + 3); };
  EXPECT_EQ(row_colour(2), highlight) << "the clicked row is highlighted at once";
  EXPECT_NE(row_colour(1), highlight);
  EXPECT_EQ(shown.count(), 0) << "its page is still loading";

  // Links of the page shown (row 0's) convert meanwhile, each to its own address, in order:
  // clicked with the mouse, an item's title, then the shop's name.
  ClickOnPage(item_area.center());
  ClickOnPage(shop_area.center());
  ASSERT_TRUE(shown.wait(10000));
  EXPECT_EQ(shown.at(0).at(0).toInt(), 2) << "row 1's page is never shown";
  EXPECT_TRUE(PageHtml().contains("卖家昵称：" + f.ListView1->item(2, 2)->text()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() >= 2; }, 10000))
      << Recorded().size() << " opened; conversions " << LogLines({"convert"});
  EXPECT_TRUE(Recorded()[0].starts_with(sandbox_->Base() + "click?kind=item&iid=" +
                                        iid.toStdString() + "&"))
      << Recorded()[0];
  EXPECT_TRUE(Recorded()[1].starts_with(sandbox_->Base() + "click?kind=shop&sid=" +
                                        f.Finder().Sellers()[0].sid + "&"))
      << "the shop of the page that was shown: " << Recorded()[1];
  QTest::qWait(500);
  EXPECT_EQ(shown.count(), 1);
}

// What each item pays fills in under its price, in place, as its conversions come: the page
// neither reloads nor moves. The platform here is the sandbox but for the item conversions,
// which the test answers itself: backwards, without the items it does not convert, markup in
// some commissions, and the second call of one row's page refused. A click then needs no call
// for what the page knows; a newer row's page drops the older one's conversions.
TEST_F(WindowTest, CommissionsFillInInPlace_ANewerRowDropsTheOlderOnes) {
  StartSandbox();
  const sandbox::Marketplace& market = sandbox_->Market();
  auto seller_of = [&](const std::string& iid) {
    const sandbox::Item* item = market.ItemByIid(iid);
    return item != nullptr ? static_cast<int>(item->seller) : -1;
  };
  std::mutex mutex;  // before the platform: its handlers wait on it until it stops
  std::condition_variable released;
  std::set<int> held;   // sellers whose items' conversions wait
  std::atomic<int> refused{-1};  // the seller whose second call is refused
  std::atomic<int> conversions{0};
  test::FakeGateway platform;
  platform.Serve([&](const test::GatewayRequest& r) -> std::string {
    if (!r.params.count("method") || r.params.at("method") != "taobao.taobaoke.items.convert") {
      TIdHTTP sandbox;
      return sandbox.Get(sandbox_->Base() + r.target.substr(1));
    }
    ++conversions;
    std::vector<std::string> iids;
    std::stringstream list(r.params.at("iids"));
    for (std::string iid; std::getline(list, iid, ',');) iids.push_back(iid);
    int seller = seller_of(iids[0]);
    {
      std::unique_lock lock(mutex);
      released.wait_for(lock, 20s, [&] { return !held.count(seller); });
      if (seller == refused && iids.size() > 1 && iids.size() < 50) {
        return "<error_response><code>15</code><msg>Remote service error</msg></error_response>";
      }
    }
    std::string items;
    for (size_t k = iids.size(); k-- > 0;) {
      long long id = std::stoll(iids[k]);
      if (id % 7 == 3) continue;  // not converted
      items += "<taobaoke_item><iid>" + iids[k] + "</iid><commission_rate>1234</commission_rate>"
               "<commission>" + (id % 7 == 5 ? "&lt;b&gt;9&lt;/b&gt;" : "5.6") +
               "</commission><click_url>http://click.test/" + iids[k] + "</click_url>"
               "</taobaoke_item>";
    }
    return "<r><taobaoke_items>" + items + "</taobaoke_items><total_results>" +
           std::to_string(iids.size()) + "</total_results></r>";
  });
  auto hold = [&](int seller, bool on) {
    std::lock_guard lock(mutex);
    static_cast<void>(on ? held.insert(seller).second : held.erase(seller) > 0);
    released.notify_all();
  };
  Settings settings = SandboxSettings();
  settings.Gateway = platform.Url();
  OpenWindow(true, settings);
  TForm1& f = *form_;
  ASSERT_TRUE(WaitForCommissions(0));

  // A row whose page shows 60 items (two calls), and two more.
  auto seller_at = [&](int row) {
    for (size_t s = 0; s < market.Sellers().size(); ++s) {
      if (QString::fromStdString(market.Sellers()[s].nick) == f.ListView1->item(row, 2)->text()) {
        return static_cast<int>(s);
      }
    }
    return -1;
  };
  int big = -1;
  std::vector<int> others;
  for (int row = 1; row < f.ListView1->rowCount(); ++row) {
    int seller = seller_at(row);
    ASSERT_GE(seller, 0);
    if (big < 0 && market.Sellers()[seller].items.size() >= 60) {
      big = row;
    } else if (others.size() < 2) {
      others.push_back(row);
    }
  }
  ASSERT_GE(big, 0);
  ASSERT_EQ(others.size(), 2u);
  refused = seller_at(big);
  auto click_row = [&](int row) {
    f.ListView1->scrollToItem(f.ListView1->item(row, 2));
    QSignalSpy shown(&f, &TForm1::ShopPageShown);
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(row));
    return shown.wait(10000) && shown.last().at(0).toInt() == row;
  };

  // The page shows with 佣金… under every price; the lines fill in where they are.
  hold(seller_at(big), true);
  ASSERT_TRUE(click_row(big));
  EXPECT_EQ(CommissionLine(0), "佣金…");
  EXPECT_EQ(CommissionLine(59), "佣金…");
  EXPECT_EQ(RunJs("window.scrollTo(0, 700); window.scrollY").toInt(), 700);
  RunJs("document.body.dataset.kept = 'yes'");
  hold(seller_at(big), false);
  ASSERT_TRUE(WaitForCommissions(big));
  EXPECT_EQ(RunJs("window.scrollY").toInt(), 700) << "the page moved";
  EXPECT_EQ(RunJs("document.body.dataset.kept").toString(), "yes") << "the page was loaded again";

  QStringList hrefs =
      RunJs("Array.from(document.querySelectorAll('.title a')).map(a => a.getAttribute('href'))"
            ".join(' ')")
          .toString()
          .split(' ');
  ASSERT_EQ(hrefs.size(), 60);
  QStringList lines =
      RunJs("Array.from(document.querySelectorAll('.commission')).map(e => e.textContent)"
            ".join('\\n')")
          .toString()
          .split('\n');
  ASSERT_EQ(lines.size(), 60);
  int converted = -1, none = -1, markup = -1;
  for (int k = 0; k < 60; ++k) {
    long long id = hrefs[k].mid(10).chopped(1).toLongLong();
    QString expected = k >= 50          ? "佣金未知"
                       : id % 7 == 3    ? "无佣金"
                       : id % 7 == 5    ? "佣金 12.34% · ￥<b>9</b>"
                                        : "佣金 12.34% · ￥5.6";
    EXPECT_EQ(lines[k].toStdString(), expected.toStdString()) << "item " << k;
    if (k < 50 && id % 7 == 3 && none < 0) none = k;
    if (k < 50 && id % 7 == 5 && markup < 0) markup = k;
    if (k < 50 && id % 7 != 3 && converted < 0) converted = k;
  }
  ASSERT_TRUE(converted >= 0 && none >= 0 && markup >= 0) << "the page lacks a kind of item";
  EXPECT_EQ(RunJs("document.querySelectorAll('.commission *').length").toInt(), 0)
      << "markup in a commission made an element";

  // Clicks: the address that came with the page opens at once, an item the platform does not
  // convert says so at once, neither with a call; an item of the failed call is converted.
  auto spread_item = [&](int k, QRect area) {
    return SpreadLink(QString("div.mydiv:nth-of-type(%1) .title a").arg(k + 2), area)
        .toStdString();
  };
  std::string converted_iid = spread_item(converted, QRect(0, 0, 150, 150));
  spread_item(none, QRect(160, 0, 150, 150));
  std::string failed_iid = spread_item(50, QRect(320, 0, 150, 150));
  int calls = conversions;
  ClickOnPage(QPoint(75, 75));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() == 1; }, 10000));
  EXPECT_EQ(Recorded()[0], "http://click.test/" + converted_iid);
  ClickOnPage(QPoint(235, 75));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Note() == "推广链接获取失败：平台没有给出推广链接"; }, 10000))
      << Note().toStdString();
  EXPECT_EQ(conversions, calls) << "a call was sent for what the page knew";
  ClickOnPage(QPoint(395, 75));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() == 2; }, 10000));
  EXPECT_EQ(Recorded()[1], "http://click.test/" + failed_iid);
  EXPECT_EQ(conversions, calls + 1);

  // A newer row's page drops the older one's conversions: row `others[1]`'s lines come while
  // row `others[0]`'s calls are still held, which only their abort lets happen (both pages'
  // calls go on the same threads), and the held answers never show.
  hold(seller_at(others[0]), true);
  ASSERT_TRUE(click_row(others[0]));
  EXPECT_EQ(CommissionLine(0), "佣金…");
  ASSERT_TRUE(click_row(others[1]));
  EXPECT_TRUE(WaitForCommissions(others[1], 5000)) << "the older page's calls hold the newer's";
  QString newer_lines = RunJs("document.body.innerText").toString();
  hold(seller_at(others[0]), false);
  QTest::qWait(500);
  EXPECT_EQ(RunJs("document.body.innerText").toString(), newer_lines);
  EXPECT_EQ(std::count(commissions_shown_.begin(), commissions_shown_.end(), others[0]), 0);
  form_.reset();
}

// A new search drops the pages and conversions still under way; closing ends at once.
TEST_F(WindowTest, ANewSearchDropsWhatIsUnderWay_ClosingEndsWithinASecond) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  // An item of no page shown: its click converts it with a call.
  std::string iid = SpreadItemOfAnotherSeller(0, QRect(0, 0, 200, 200));
  auto converting = [&](const std::string& item) {
    return QTest::qWaitFor(
        [&] { return LogLines({"taobao.taobaoke.items.convert", "iids=" + item + "&"}) > 0; },
        5000);
  };
  // Slow enough that row 1's page and the conversion are surely under way at the search.
  sandbox_->SetLatency(1500);
  QSignalSpy shown(&f, &TForm1::ShopPageShown);
  QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(1));
  ClickOnPage(QPoint(100, 100));
  ASSERT_TRUE(converting(iid));
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  sandbox_->SetLatency(0);
  ASSERT_TRUE(WaitForSearch());
  ASSERT_TRUE(shown.wait(10000));
  EXPECT_EQ(shown.count(), 1);
  EXPECT_EQ(shown.at(0).at(0).toInt(), 0) << "only the new search's first page";
  QTest::qWait(1800);
  EXPECT_TRUE(Recorded().empty()) << "the conversion clicked before the search never opens";

  // Closing while a row's commissions and a link's conversion wait for the platform.
  sandbox_->SetLatency(3000);
  shown.clear();
  QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(3));
  ASSERT_TRUE(shown.wait(10000));
  // Row 3's commissions were asked for as its page was handed over.
  ASSERT_TRUE(commissions_shown_.empty() || commissions_shown_.back() != 3);
  iid = SpreadItemOfAnotherSeller(3, QRect(0, 0, 200, 200));
  ClickOnPage(QPoint(100, 100));
  ASSERT_TRUE(converting(iid));
  auto start = std::chrono::steady_clock::now();
  form_->close();
  form_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
}

// The seller list's menu, driven through the real widgets: it acts on the row under the
// pointer and leaves the selection and the page alone.
TEST_F(WindowTest, ListMenuCopiesExportsAndNarrowsTheSearch) {
  QString first_nick = OpenOnFirstPage();
  ASSERT_FALSE(first_nick.isEmpty());
  TForm1& f = *form_;
  QClipboard* clipboard = QGuiApplication::clipboard();
  auto selected_row = [&] { return f.ListView1->selectionModel()->selectedRows().at(0).row(); };

  PickFromListMenu(3, "复制卖家昵称");
  EXPECT_EQ(clipboard->text(), f.ListView1->item(3, 2)->text());
  EXPECT_EQ(selected_row(), 0) << "the selection stays";
  QTest::qWait(200);
  EXPECT_EQ(Note(), "卖家昵称已复制") << "still said once the menu has gone";

  // The header has no menu.
  QTest::mouseClick(f.windowHandle(), Qt::RightButton, {},
                    f.ListView1->horizontalHeader()->mapTo(&f, QPoint(150, 5)));
  QTest::qWait(200);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  // The menu key opens the menu of the current row: the window system sends the list, which
  // has the focus, the event it sends for that key.
  f.ListView1->setFocus();
  QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
  QApplication::sendEvent(f.ListView1, &menu_key);
  PickFromListMenu(-1, "复制卖家昵称");
  EXPECT_EQ(clipboard->text(), first_nick);

  ASSERT_FALSE(f.Finder().Sellers()[5].shop_loaded);
  QSignalSpy copied(&f, &TForm1::LinkCopied);
  PickFromListMenu(5, "复制店铺推广链接");
  ASSERT_TRUE(copied.wait(10000));
  std::string sid = f.Finder().Sellers()[5].sid;
  ASSERT_FALSE(sid.empty()) << "the row's shop was looked up first";
  EXPECT_TRUE(clipboard->text().startsWith(
      QString::fromStdString(sandbox_->Base() + "click?kind=shop&sid=" + sid + "&")))
      << clipboard->text().toStdString();
  EXPECT_EQ(selected_row(), 0);
  EXPECT_TRUE(PageHtml().contains("卖家昵称：" + first_nick)) << "the page stays";
  EXPECT_TRUE(Recorded().empty()) << "nothing opens in the browser";
  std::vector<library::HistoryEntry> history = HistoryHolding(1);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].action, library::HistoryAction::kCopied);
  EXPECT_EQ(history[0].click_url, clipboard->text().toStdString());

  // The export writes the list as the command line does, by the chosen extension; a name typed
  // without one takes the chosen type's (CSV at first).
  std::string saved = ExportPath("sellers");
  SaveAsInNextDialog(saved.substr(0, saved.size() - 4));
  PickFromListMenu(1, "导出卖家列表...");
  std::string csv = TakeFile(saved);
  EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBFnick,location,level\r\n")) << csv;
  EXPECT_NE(csv.find("\r\n" + first_nick.toStdString() + ","), std::string::npos);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), f.ListView1->rowCount() + 1);

  // Further conditions: shown beside the box's title, and in the next search's request.
  WhenOpen<TSearchConditionsDialog>([&](TSearchConditionsDialog* dialog) {
    dialog->CommissionRate->setText("29-");
    dialog->accept();
  });
  PickFromListMenu(0, "更多搜索条件...");
  EXPECT_EQ(f.GroupBox1->title(), "搜索店铺（已设条件）");
  EXPECT_EQ(LoadSearchConditions().commission_low, "2900") << "remembered for the next run";
  f.Button1Click();
  ASSERT_TRUE(WaitForSearch());
  // What the slot does to the sellers found is the command line's tests' to show.
  EXPECT_GT(LogLines({"taobao.taobaoke.items.get", "start_commissionRate=2900"}), 0);

  // Cleared, the conditions leave every request byte for byte what it was before them.
  WhenOpen<TSearchConditionsDialog>([&](TSearchConditionsDialog* dialog) {
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Reset)->click();
    dialog->accept();
  });
  PickFromListMenu(0, "更多搜索条件...");
  EXPECT_EQ(f.GroupBox1->title(), "搜索店铺");
  f.Button1Click();
  ASSERT_TRUE(WaitForSearch());
  std::vector<std::string> pages = Logged({"taobao.taobaoke.items.get", "page_no=1&"});
  ASSERT_GE(pages.size(), 3u);
  EXPECT_EQ(pages.back(), pages.front());
}

// A click that cannot do what it is for says so over the page, for two seconds: the web browser
// that does not start, the conversion that fails (a failed copy leaves the clipboard alone), the
// shop page whose calls fail.
TEST_F(WindowTest, ClicksThatCannotDoTheirJobSaySoOverThePage) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  // An item the page knows nothing of: each click converts it with a call.
  SpreadItemOfAnotherSeller(0, QRect(0, 0, 200, 200));
  auto no_browser = [&] { f.SetLinkOpener([](const std::string&) { return false; }); };
  // Conversions answered by a platform of the test's own.
  test::FakeGateway platform;
  const std::string gateway = f.Finder().TaobaokeConvert1.DefaultGateway();
  auto answering = [&](std::string reply) {
    return [&, reply] {
      platform.ServeBody(reply);
      f.Finder().TaobaokeConvert1.SetDefaultGateway(platform.Url());
    };
  };
  auto no_platform = [&] {
    f.Finder().TaobaokeConvert1.SetDefaultGateway(gateway);
    sandbox_->Stop();
  };
  const struct {
    const char* what;
    std::function<void()> before;
    std::function<void()> click;
    const char* said;
  } clicks[] = {
      {"an item, no browser", no_browser, [&] { ClickOnPage(QPoint(100, 100)); }, "无法启动浏览器"},
      {"the vendor's address, no browser", no_browser,
       [&] { QTest::mouseClick(f.Label2, Qt::LeftButton); }, "无法启动浏览器"},
      {"an item refused, the platform's words holding markup",
       answering("<error_response><code>7</code><msg>&lt;h1&gt;HACKED&lt;/h1&gt;</msg>"
                 "</error_response>"),
       [&] { ClickOnPage(QPoint(100, 100)); },
       "推广链接获取失败：平台拒绝了请求（错误 7：<h1>HACKED</h1>）"},
      {"an item the platform answers without a result", answering("<r></r>"),
       [&] { ClickOnPage(QPoint(100, 100)); }, "推广链接获取失败：平台没有给出推广链接"},
      {"an item, no platform", no_platform, [&] { ClickOnPage(QPoint(100, 100)); },
       "推广链接获取失败：网络错误："},
      {"a copy of an item, no platform", [] {},
       [&] { ClickOnPage(QPoint(100, 100), Qt::ControlModifier); }, "推广链接获取失败：网络错误："},
      {"a row, no platform", no_platform,
       [&] { QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(2)); },
       "店铺信息获取失败：网络错误："},
  };
  QGuiApplication::clipboard()->setText("held");
  for (const auto& click : clicks) {
    if (auto* note = f.findChild<QLabel*>("CopyNote")) note->hide();  // the last one's gone
    click.before();
    click.click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Note().startsWith(QString::fromUtf8(click.said)); }, 10000))
        << click.what << ": " << Note().toStdString();
    // Shown as the words they are: markup would make a heading of them.
    auto* note = f.findChild<QLabel*>("CopyNote");
    EXPECT_LT(note->height(), 3 * note->fontMetrics().height()) << click.what;
  }
  EXPECT_TRUE(WaitForPageContaining("卖家昵称：" + f.ListView1->item(2, 2)->text()))
      << "the row's page shows all the same";
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "held") << "the failed copy took the clipboard";
  // No address reached the user: the history holds none of them.
  QTest::qWait(300);
  EXPECT_TRUE(HistoryHolding(0).empty());
}

// While start-up waits for a slow configuration server a small window says it is under way;
// a configuration that could not be read is said, with its reason, instead of a search that
// finds nobody.
TEST_F(WindowTest, StartUpSaysItIsUnderWay_AnUnreadableConfigurationSaysWhy) {
  test::ScriptedServer slow([](test::ServerConnection& c) {
    if (c.ReadRequest().empty() || !c.Sleep(std::chrono::milliseconds(1500))) return;
    c.Send(test::HttpReply("404 Not Found", "gone"));
  });
  const struct {
    std::string base;
    bool slow;
    const char* reason;
  } starts[] = {{slow.Base() + "/", true, "HTTP/1.1 404 Not Found"},
                {"http://127.0.0.1:1/", false, "Socket Error"}};
  for (const auto& start : starts) {
    Settings settings;
    settings.VendorBase = start.base;
    QString notice;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* label = qobject_cast<QLabel*>(window);
        if (label != nullptr && label->objectName() == "StartUpNotice" && label->isVisible()) {
          notice = label->text();
        }
      }
    });
    look.start(50);
    form_ = std::make_unique<TForm1>(settings);
    look.stop();
    if (start.slow) {
      EXPECT_EQ(notice, "Vendrix 正在启动,请稍等......") << start.base;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
      EXPECT_FALSE(window->objectName() == "StartUpNotice" && window->isVisible())
          << "the notice goes with the start-up";
    }

    MessageBoxes boxes;
    const QStringList& said = boxes.said;
    form_->FormCreate();
    form_->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }, 20000)) << start.base;
    QTest::qWait(300);
    ASSERT_EQ(said.size(), 1) << said.join(" / ").toStdString();
    EXPECT_TRUE(said[0].startsWith("配置读取失败")) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains(QString::fromStdString(start.base) + "taoke/api.php"));
    EXPECT_TRUE(said[0].contains(start.reason)) << said[0].toStdString();
    // It offers the way out: an account of the user's own.
    EXPECT_TRUE(said[0].contains("“账户设置”") && said[0].contains("不经供应商的服务器"))
        << said[0].toStdString();
    EXPECT_TRUE(boxes.offered.contains("账户设置...")) << boxes.offered.join(", ").toStdString();
    EXPECT_EQ(form_->ComboBox1->count(), 0);
    EXPECT_EQ(form_->windowTitle(), "Vendrix");
    // So does every search asked for later.
    QTest::mouseClick(form_->Button1, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return said.size() == 2; }, 5000));
    EXPECT_EQ(said[1], said[0]);
    form_.reset();
  }
}

// Every wrong field of the further conditions is named at once; a commission bound that
// crosses the vendor's configured other side is refused, naming that bound; the conditions
// set read as a user says them.
TEST_F(WindowTest, ConditionsNameEveryWrongFieldAndTheConfiguredBoundTheyCross) {
  StartSandbox();
  // The vendor's configuration bounds the commission rate to 5-20%.
  test::FakeGateway vendor;
  std::string document =
      sandbox::ConfigDocument(false, "", sandbox::sandbox_credentials::kAppKey,
                              sandbox::sandbox_credentials::kAppSecret);
  const std::string method = "<method>taobao.taobaoke.items.get</method>";
  document.insert(document.find(method) + method.size(),
                  "<s_rate>500</s_rate><e_rate>2000</e_rate>");
  vendor.ServeBody(document);
  Settings settings = SandboxSettings();
  settings.VendorBase = vendor.Base() + "/";
  OpenWindow(true, settings);
  TForm1& f = *form_;
  ASSERT_GT(f.ListView1->rowCount(), 0);

  const struct {
    const char* keyword;
    const char* rate;
    const char* price;
    const char* says;
  } wrong[] = {
      {"ñ", "30-", "abc",
       "关键词中有无法使用的字符。\n佣金比率下限 30% 高于配置规定的上限 20%。\n"
       "价格请填写如 10-99.5 的范围（元，最多两位小数）。"},
      {"", "-4.5", "", "佣金比率上限 4.5% 低于配置规定的下限 5%。"},
      {"包邮", "12-5", "5-1",
       "佣金比率请填写如 5-12.5 的范围（百分比，不超过 100，最多两位小数）。\n"
       "价格请填写如 10-99.5 的范围（元，最多两位小数）。"},
  };
  WhenOpen<TSearchConditionsDialog>([&](TSearchConditionsDialog* dialog) {
    QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    for (const auto& w : wrong) {
      TypeInto(dialog->Keyword, QString::fromUtf8(w.keyword));
      TypeInto(dialog->CommissionRate, w.rate);
      TypeInto(dialog->Price, w.price);
      QString said;
      WhenOpen<QMessageBox>([&](QMessageBox* box) {
        said = box->text();
        ClickButton(box, "确定");
      });
      QTest::mouseClick(ok, Qt::LeftButton);
      EXPECT_EQ(said.toStdString(), w.says) << w.rate;
      EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
    }
    TypeInto(dialog->CommissionRate, "10-");
    TypeInto(dialog->Price, "100-");
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  PickFromListMenu(0, "更多搜索条件...");
  EXPECT_EQ(TooltipAt(f.GroupBox1, QPoint(20, 5)).toStdString(),
            "关键词：包邮；佣金比率：10%以上；价格：100元以上");
  // The configured upper bound still goes out beside the user's lower one.
  f.Button1Click();
  ASSERT_TRUE(WaitForSearch());
  EXPECT_GT(LogLines({"taobao.taobaoke.items.get", "start_commissionRate=1000",
                      "end_commissionRate=2000", "start_price=100"}),
            0);

  // Conditions remembered from a run under another configuration are checked as well: the
  // window says which configured bound they cross instead of searching for nothing.
  SaveSearchConditions({.commission_low = "3000"});
  form_ = std::make_unique<TForm1>(settings);
  QString said;
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    said = box->text();
    ClickButton(box, "关闭");
  });
  int searched = LogLines({"taobao.taobaoke.items.get", "start_commissionRate=3000"});
  form_->FormCreate();
  form_->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }, 10000));
  EXPECT_EQ(said.toStdString(),
            "佣金比率下限 30% 高于配置规定的上限 20%。\n请修改更多搜索条件后再搜索。");
  EXPECT_EQ(LogLines({"taobao.taobaoke.items.get", "start_commissionRate=3000"}), searched);
  SaveSearchConditions({});
}

// The export starts in the folder saved to last (at first the home folder, there being no
// documents folder), names TSV's columns as CSV and JSON do, and replaces a file whole or not
// at all. Qt's own dialogs speak the window's language.
TEST_F(WindowTest, ExportStartsWhereTheUserSavedLastAndReplacesFilesWhole) {
  QTemporaryDir home;
  struct Home {
    QByteArray old = qgetenv("HOME");
    ~Home() { qputenv("HOME", old); }
  } restore;
  qputenv("HOME", home.path().toLocal8Bit());
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  QTemporaryDir folder;
  const QString saved = folder.filePath("sellers.tsv");

  // Saves the list as `saved` through the dialog, as a user does; `answer_box` answers the
  // message boxes that follow. Returns the folder the dialog started in.
  auto export_list = [&](std::function<void(QMessageBox*)> answer_box = {}) {
    QString started_in;
    WhenOpen<QFileDialog>([&](QFileDialog* dialog) {
      started_in = dialog->directory().absolutePath();
      QStringList buttons;
      for (QPushButton* button : dialog->findChildren<QPushButton*>()) buttons << button->text();
      EXPECT_TRUE(buttons.contains("保存(&S)") && buttons.contains("取消"))
          << buttons.join(", ").toStdString();
      if (answer_box) WhenOpen<QMessageBox>(answer_box);
      // The name is put into the name box whole: typed, it would open the box's completions,
      // which take the Return key whenever the folder's listing comes in time.
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      name->setText(saved);
      QTest::keyClick(name, Qt::Key_Return);
    });
    PickFromListMenu(1, "导出卖家列表...");
    return started_in;
  };
  auto read = [](const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<none>");
  };

  EXPECT_EQ(export_list().toStdString(), home.path().toStdString()) << "no documents folder: home";
  std::string tsv = read(saved);
  EXPECT_TRUE(tsv.starts_with("nick\tlocation\tlevel\n" +
                              f.ListView1->item(0, 2)->text().toStdString() + "\t"))
      << tsv;
  EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), f.ListView1->rowCount() + 1);

  // A write that fails part way (the disk full; here a limit on the size of files) keeps the
  // file as it was, leaves nothing beside it, and says so.
  {
    QFile old(saved);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
  }
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit unlimited = limit;
  std::signal(SIGXFSZ, SIG_IGN);
  QString asked, said;
  QString started_in = export_list([&](QMessageBox* replace) {
    asked = replace->text();
    // The next box says what went wrong.
    WhenOpen<QMessageBox>([&](QMessageBox* box) {
      setrlimit(RLIMIT_FSIZE, &unlimited);
      said = box->text();
      ClickButton(box, "确定");
    });
    limit.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limit);
    ClickButton(replace, "是(&Y)");
  });
  setrlimit(RLIMIT_FSIZE, &unlimited);
  EXPECT_EQ(started_in.toStdString(), folder.path().toStdString()) << "the folder saved to last";
  EXPECT_TRUE(asked.contains("sellers.tsv")) << asked.toStdString();
  EXPECT_TRUE(said.startsWith("无法写入 " + saved)) << said.toStdString();
  EXPECT_EQ(read(saved), "old\n") << "the file as it was";
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).join(", ").toStdString(),
            "sellers.tsv")
      << "nothing left beside it";
}

// No page scrolls sideways, and a shop without a logo shows none, not a broken picture.
TEST_F(WindowTest, PagesFitTheirWidth_AShopWithoutLogoShowsNoBrokenPicture) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  auto sideways = [&] {
    return RunJs("document.scrollingElement.scrollWidth > document.scrollingElement.clientWidth")
        .toBool();
  };
  EXPECT_FALSE(sideways()) << "the first shop's page";
  int row = -1;
  for (int r = 0; r < f.ListView1->rowCount() && row < 0; ++r) {
    for (const auto& seller : sandbox_->Market().Sellers()) {
      if (seller.pic_path.empty() && f.ListView1->item(r, 2)->text().toStdString() == seller.nick) {
        row = r;
      }
    }
  }
  ASSERT_GE(row, 0) << "no shop without a logo among the sellers found";
  QString nick = f.ListView1->item(row, 2)->text();
  f.ListView1->scrollToItem(f.ListView1->item(row, 2));
  QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(row));
  ASSERT_TRUE(WaitForPageContaining("卖家昵称：" + nick));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return RunJs("Array.from(document.images).every(i => i.complete)").toBool(); }, 10000));
  EXPECT_EQ(RunJs("Array.from(document.images).filter(i => i.naturalWidth == 0 && "
                  "getComputedStyle(i).visibility != 'hidden').length")
                .toInt(),
            0)
      << "broken pictures";
  EXPECT_FALSE(sideways()) << "a shop without a logo";
}

// Credentials of the user's own stand in for a configuration that cannot be read: the window
// starts with the built-in names, fills the categories, runs its first search and says nothing
// about the configuration.
TEST_F(WindowTest, OwnCredentialsStandInForAnUnreadableConfiguration) {
  StartSandbox();
  Settings settings = SandboxSettings();
  settings.VendorBase = "http://127.0.0.1:1/";
  MessageBoxes boxes;
  const QStringList& said = boxes.said;
  qputenv("VENDRIX_APP_KEY", sandbox::sandbox_credentials::kAppKey);
  qputenv("VENDRIX_APP_SECRET", sandbox::sandbox_credentials::kAppSecret);
  form_ = std::make_unique<TForm1>(settings);
  qunsetenv("VENDRIX_APP_KEY");
  qunsetenv("VENDRIX_APP_SECRET");
  QSignalSpy ended(form_.get(), &TForm1::SearchEnded);
  form_->FormCreate();
  form_->show();
  ASSERT_TRUE(ended.wait(20000)) << "the first search did not end";
  EXPECT_TRUE(ended.at(0).at(0).toBool()) << "it found sellers";
  EXPECT_GT(form_->ListView1->rowCount(), 0);
  EXPECT_EQ(form_->ComboBox1->itemText(0), "所有类目");
  EXPECT_GT(form_->ComboBox1->count(), 1);
  EXPECT_EQ(LogLines({"taobao.itemcats.get", "\t200\t"}), 1)
      << "the categories came from the platform, the call signed with the user's own";
  QTest::qWait(300);
  EXPECT_TRUE(said.isEmpty()) << said.join(" / ").toStdString();
}

// The menu bar, driven from the keyboard: Alt with the menu's letter, or F10, opens one with its
// first entry ready for Enter. Its entries do what the seller list's menu does; 关于 Vendrix names the version and the vendor's
// address; 退出 closes the window.
TEST_F(WindowTest, MenuBarOpensByMouseAndKeys_ItsEntriesDoTheirWork) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  TWindowMenu& menus = f.WindowMenu();
  // Alt+S, Down, Enter: the further search conditions, as from the seller list's menu.
  bool conditions = false;
  WhenOpen<TSearchConditionsDialog>([&](TSearchConditionsDialog* dialog) {
    conditions = true;
    dialog->reject();
  });
  ActivateWindow();
  Press(Qt::Key_S, Qt::AltModifier);
  QMenu* open = OpenedMenu();
  ASSERT_EQ(open, menus.Settings);
  EXPECT_EQ(open->activeAction(), menus.AccountSettings) << "the first entry is ready";
  QTest::keyClick(open, Qt::Key_Down);
  QTest::keyClick(open, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return conditions; }, 5000));

  // Alt+H, Enter: what Vendrix is.
  QString about;
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    about = box->windowTitle() + "\n" + box->text();
    box->accept();
  });
  ActivateWindow();
  Press(Qt::Key_H, Qt::AltModifier);
  open = OpenedMenu();
  ASSERT_EQ(open, menus.Help);
  QTest::keyClick(open, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !about.isEmpty(); }, 5000));
  EXPECT_TRUE(about.startsWith("关于 Vendrix\nVendrix " VENDRIX_VERSION "\n\n淘宝客的店铺搜索工具"))
      << about.toStdString();
  EXPECT_TRUE(about.endsWith(QString::fromStdString(sandbox_->Base()))) << about.toStdString();

  // F10 opens the first menu; 退出 closes the window.
  ActivateWindow();
  Press(Qt::Key_F10);
  open = OpenedMenu();
  ASSERT_EQ(open, menus.File);
  ClickEntry(open, menus.Quit);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !f.isVisible(); }, 5000)) << "退出 closed nothing";
}

// The account settings: saving names every wrong field at once, and a Secret Service that
// cannot keep the secret is said in the dialog, which stays open, nothing saved and start-up not
// run again. A test tries the values typed, off the window's thread: a wrong secret or an unknown
// key is explained in Chinese, a working account gives its round trips. While a test runs its
// button says so and the dialog goes on answering; closing the dialog meanwhile loses the result
// and nothing else. A test saves nothing.
TEST_F(WindowTest, AccountSettingsNameWrongFieldsAndTestTheValuesTyped) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  struct Bus {
    QByteArray old = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    ~Bus() {
      if (old.isEmpty()) {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
      } else {
        qputenv("DBUS_SESSION_BUS_ADDRESS", old);
      }
    }
  } restore;
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vendrix-test-bus");
  const QString secret = sandbox::sandbox_credentials::kAppSecret;
  const struct {
    QString app_key, app_sec, nick;
    const char* says;
  } wrong[] = {
      {"", "", "", "请填写应用 Key。\n请填写应用密钥。"},
      {"2100 0001", "has blank", "a b",
       "应用 Key 只能由英文字母、数字和 . _ ~ - 组成。\n"
       "应用密钥只能由英文字母、数字和符号组成，不能有空格。\n推广者昵称不能有空格或控制字符。"},
      {"21000001", "s3cret", "ñ", "推广者昵称中有无法使用的字符。"},
  };
  const struct {
    std::string app_key;
    QString app_sec;
    std::vector<std::string> says;
  } tries[] = {
      {"21000001", "wrong0secret",
       {"类目调用（taobao.itemcats.get）失败", "错误码 25", "App Secret 与 App Key 不匹配"}},
      {"21000009", secret, {"开放平台不认识这个 App Key", "错误码 29"}},
      {"21000001", secret,
       {"连接成功。\n类目调用（taobao.itemcats.get）成功：", "个类目，往返 ",
        "淘宝客商品搜索（taobao.taobaoke.items.get）成功：昵称“淘客联盟小助手”得到了推广链接"}},
  };
  bool closed = false;
  WhenOpen<TAccountDialog>([&](TAccountDialog* dialog) {
    EXPECT_EQ(dialog->InUse->text().toStdString(),
              "当前使用的账户：\n应用 Key 与密钥：供应商的配置（21000001）\n"
              "推广者昵称：供应商的配置（淘客联盟小助手）");
    for (const auto& w : wrong) {
      TypeInto(dialog->AppKey, w.app_key);
      TypeInto(dialog->AppSecret, w.app_sec);
      TypeInto(dialog->Nick, w.nick);
      QTest::mouseClick(dialog->SaveButton, Qt::LeftButton);
      EXPECT_EQ(dialog->Result->text().toStdString(), w.says) << w.app_key.toStdString();
      EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
    }
    TypeInto(dialog->AppKey, "21000001");
    TypeInto(dialog->AppSecret, secret);
    TypeInto(dialog->Nick, "");
    QTest::mouseClick(dialog->SaveButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->SaveButton->isEnabled(); }, 40000));
    // In the window's words; the library's own (English) only in the tooltip.
    EXPECT_EQ(dialog->Result->text().toStdString(),
              "账户未能保存：无法连接桌面的钥匙环（Secret Service）。\n"
              "应用密钥保存在桌面的钥匙环中（如 GNOME 钥匙环、KeePassXC）：请确认它正在运行并已解锁，"
              "然后再保存。");
    EXPECT_TRUE(dialog->Result->toolTip().startsWith("no Secret Service could be reached: "))
        << dialog->Result->toolTip().toStdString();
    EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
    QTest::qWait(300);
    EXPECT_EQ(LogLines({"taobao.itemcats.get"}), 1) << "start-up ran again";

    for (const auto& t : tries) {
      TypeInto(dialog->AppKey, QString::fromStdString(t.app_key));
      TypeInto(dialog->AppSecret, t.app_sec);
      int sent = LogLines({"app_key=" + t.app_key + "&"});
      QTest::mouseClick(dialog->TestButton, Qt::LeftButton);
      ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->TestButton->isEnabled(); }, 20000));
      const std::string said = dialog->Result->text().toStdString();
      for (const std::string& part : t.says) {
        EXPECT_NE(said.find(part), std::string::npos) << t.app_key << ": " << said;
      }
      EXPECT_GT(LogLines({"app_key=" + t.app_key + "&"}), sent) << "the key typed went out";
    }

    // A slow platform: the click returns at once, the button says the test runs.
    sandbox_->SetLatency(1500);
    QTest::mouseClick(dialog->TestButton, Qt::LeftButton);
    EXPECT_FALSE(dialog->TestButton->isEnabled());
    EXPECT_EQ(dialog->TestButton->text(), "正在测试...");
    EXPECT_EQ(dialog->Result->text(), "正在测试连接...");
    QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    closed = !dialog->isVisible();
  });
  ActivateWindow();
  Press(Qt::Key_S, Qt::AltModifier);
  QTest::keyClick(OpenedMenu(), Qt::Key_Return);
  ASSERT_TRUE(closed) << "the dialog did not close while its test ran";
  // The closed dialog's test runs to its end (its category call, then its item search of one
  // item), and its result goes nowhere.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return LogLines({"taobao.taobaoke.items.get", "page_size=1&"}) == 2; }, 10000));
  QTest::qWait(300);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(form_->Button1->isEnabled());
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(AccountFilePath())));
}

// A Ctrl+click on a link of the page copies its affiliate address instead of opening it, and
// says so over the page; a middle click opens it as a click does; a closing window opens
// nothing.
TEST_F(WindowTest, CtrlClickCopiesTheLinksAddress_MiddleClickOpensIt) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  QString iid = SpreadLink(".title a", QRect(0, 0, 200, 200));
  ASSERT_FALSE(iid.isEmpty());
  QSignalSpy copied(&f, &TForm1::LinkCopied);
  ClickOnPage(QPoint(100, 100), Qt::ControlModifier);
  ASSERT_TRUE(copied.count() > 0 || copied.wait(10000));
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(
      QString::fromStdString(sandbox_->Base() + "click?kind=item&iid=") + iid + "&"));
  EXPECT_EQ(Note(), "推广链接已复制");
  QTest::qWait(300);
  EXPECT_TRUE(Recorded().empty()) << "nothing opens in the browser";

  ClickOnPage(QPoint(100, 100), {}, Qt::MiddleButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Recorded().empty(); }, 10000));
  EXPECT_TRUE(Recorded()[0].starts_with(sandbox_->Base() +
                                        "click?kind=item&iid=" + iid.toStdString() + "&"));
  // The copy and the middle click are in the history, newest first.
  std::vector<library::HistoryEntry> history = HistoryHolding(2);
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].click_url, Recorded()[0]);
  EXPECT_EQ(history[1].click_url, QGuiApplication::clipboard()->text().toStdString());

  // Recording switched off in the 收藏 menu (remembered), or by VENDRIX_HISTORY=off, where the
  // menu's entry cannot turn it on: the clicks work and nothing is recorded.
  QAction* recording = nullptr;
  auto recording_entry = [&] {
    ActivateWindow();
    QMenu* menu = ClickMenuTitle("收藏");
    recording = menu->actions().value(1);
    EXPECT_EQ(recording->text(), "记录推广链接");
    return menu;
  };
  QMenu* menu = recording_entry();
  EXPECT_TRUE(recording->isChecked());
  ClickEntry(menu, recording);
  EXPECT_FALSE(QSettings("Vendrix", "Vendrix").value("library/record_links", true).toBool());
  qputenv("VENDRIX_HISTORY", "off");
  menu = recording_entry();
  EXPECT_FALSE(recording->isChecked());
  EXPECT_FALSE(recording->isEnabled()) << "the environment wins";
  QTest::keyClick(menu, Qt::Key_Escape);
  qunsetenv("VENDRIX_HISTORY");
  ClickOnPage(QPoint(100, 100), {}, Qt::MiddleButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() == 2; }, 10000));
  menu = recording_entry();
  ClickEntry(menu, recording);  // on again, not under the environment's word
  qputenv("VENDRIX_HISTORY", "OFF");
  ClickOnPage(QPoint(100, 100), Qt::ControlModifier);
  ASSERT_TRUE(copied.wait(10000));
  qunsetenv("VENDRIX_HISTORY");
  EXPECT_TRUE(QSettings("Vendrix", "Vendrix").value("library/record_links", false).toBool());
  // Recording again: the next click is the next entry, none came between.
  ClickOnPage(QPoint(100, 100), {}, Qt::MiddleButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() == 3; }, 10000));
  history = HistoryHolding(3);
  ASSERT_EQ(history.size(), 3u);
  EXPECT_EQ(history[0].click_url, Recorded()[2]);
  EXPECT_EQ(history[1].action, library::HistoryAction::kOpened);
  EXPECT_EQ(history[2].action, library::HistoryAction::kCopied);

  f.close();
  EXPECT_TRUE(f.WebBrowser1BeforeNavigate2(QUrl("http://iid" + iid + "/")))
      << "refused, and not converted";
  QTest::qWait(300);
  EXPECT_EQ(Recorded().size(), 3u);
}

// 收藏店铺 in the list's menu saves the row's shop (looked up first) and stars its nick; the
// 收藏与记录 window lists it with what was saved before, shows its page on a double-click,
// opens a saved item's address, edits a note and removes an entry once confirmed; 取消收藏 takes
// the star away.
TEST_F(WindowTest, SavedShopsAreStarred_TheLibraryWindowShowsEditsAndRemovesThem) {
  Seed([](library::Library& saved) {
    library::SavedItem item{.item_id = "5550001",
                            .nick = "老店",
                            .title = "夏季 连衣裙",
                            .price = "89.00",
                            .commission_rate = "1250",
                            .commission = "11.13",
                            .click_url = "http://s.click.taobao.com/t?e=item1"};
    ASSERT_TRUE(saved.SaveItem(item, "送妈妈").Ok());
  });
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  const QString nick = f.ListView1->item(1, 2)->text();
  ASSERT_FALSE(f.Finder().Sellers()[1].shop_loaded);
  EXPECT_EQ(StarPixelsOfRow(1), 0);
  PickFromListMenu(1, "收藏店铺");
  ASSERT_TRUE(QTest::qWaitFor([&] { return StarPixelsOfRow(1) > 0; }, 10000))
      << "the saved seller is not starred";
  EXPECT_EQ(StarPixelsOfRow(0), 0);
  std::vector<library::SavedShop> shops = SavedShops();
  ASSERT_EQ(shops.size(), 1u);
  EXPECT_EQ(shops[0].nick, nick.toStdString());
  const sandbox::Seller* seller = sandbox_->Market().SellerBySid(shops[0].shop_id);
  ASSERT_NE(seller, nullptr) << "saved with the shop its lookup found";
  EXPECT_EQ(shops[0].title, seller->shop_title);
  // Its menu now offers to take it out.
  QStringList entries = ListMenuEntries(1);
  EXPECT_TRUE(entries.contains("取消收藏") && !entries.contains("收藏店铺")) << entries.join("|").toStdString();

  TLibraryWindow* window = OpenLibraryWindow();
  ASSERT_NE(window, nullptr);
  QTableView* view = window->SavedView;
  ASSERT_EQ(RowsOnceThere(view, 2), 2);
  EXPECT_EQ(Cell(view, 0, TSavedModel::kNick), nick) << "the latest saved first";
  EXPECT_EQ(Cell(view, 0, TSavedModel::kTitle), QString::fromStdString(seller->shop_title));
  EXPECT_EQ(Cell(view, 1, TSavedModel::kTitle), "夏季 连衣裙");
  EXPECT_EQ(Cell(view, 1, TSavedModel::kNote), "送妈妈");
  EXPECT_EQ(Cell(view, 1, TSavedModel::kCommissionRate), "12.50%");
  EXPECT_EQ(window->Status->text(), "共 2 条");

  // A double-click on the shop shows its page in the main window, its row selected.
  Activate(window);
  QSignalSpy shown(&f, &TForm1::ShopPageShown);
  DoubleClickRow(view, 0);
  ASSERT_TRUE(shown.wait(10000));
  EXPECT_TRUE(WaitForPageContaining("卖家昵称：" + nick));
  EXPECT_EQ(f.ListView1->selectionModel()->selectedRows().value(0).row(), 1);
  // On the item, its address opens, and that is in the history.
  Activate(window);
  DoubleClickRow(view, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Recorded().empty(); }, 10000));
  EXPECT_EQ(Recorded()[0], "http://s.click.taobao.com/t?e=item1");
  std::vector<library::HistoryEntry> history = HistoryHolding(1);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].commission_rate, "1250");

  // The shop's note, typed into its dialog.
  WhenOpen<QDialog>([](QDialog* dialog) {
    auto* note = dialog->findChild<QLineEdit*>();
    ASSERT_NE(note, nullptr);
    TypeInto(note, "主推 <b>");
    ClickButton(dialog, "确定");
  });
  Activate(window);
  ASSERT_TRUE(PickFromTableMenu(view, 0, "编辑备注..."));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return Cell(view, 0, TSavedModel::kNote) == "主推 <b>"; }, 10000));
  EXPECT_EQ(SavedShops().at(0).note, "主推 <b>");

  // Removing asks first: "no" keeps the entry, "yes" removes it.
  AnswerNextBox("否(&N)");
  ASSERT_TRUE(PickFromTableMenu(view, 1, "删除"));
  QTest::qWait(300);
  EXPECT_EQ(view->model()->rowCount(), 2);
  AnswerNextBox("是(&Y)");
  ASSERT_TRUE(PickFromTableMenu(view, 1, "删除"));
  EXPECT_EQ(RowsOnceThere(view, 1), 1);
  EXPECT_EQ(Cell(view, 0, TSavedModel::kNick), nick);
  std::vector<library::SavedItem> items;
  ASSERT_TRUE(ReadLibrary()->ReadSavedItems({}, items).Ok());
  EXPECT_TRUE(items.empty());

  // 取消收藏 in the list, confirmed: the star goes, and the window's row.
  AnswerNextBox("是(&Y)");
  ActivateWindow();
  PickFromListMenu(1, "取消收藏");
  ASSERT_TRUE(QTest::qWaitFor([&] { return StarPixelsOfRow(1) == 0; }, 10000));
  EXPECT_TRUE(SavedShops().empty());
  EXPECT_EQ(RowsOnceThere(view, 0), 0);
}

// The history tab of the 收藏与记录 window: newest first, its columns sort, the filter finds
// Chinese inside a title, a double-click opens the address and Ctrl+C copies it (each a new
// entry), removing and clearing are confirmed, and the export writes what the filter lets
// through, a cell that a spreadsheet would take for a formula with an apostrophe before it.
TEST_F(WindowTest, LibraryWindowHistorySortsFiltersOpensCopiesExportsAndClears) {
  Seed([](library::Library& saved) {
    const int64_t now = library::NowMs();
    std::vector<library::HistoryEntry> entries = {
        {.time_ms = now - 3000, .kind = library::EntryKind::kItem, .id = "101", .nick = "甲店",
         .title = "=HYPERLINK(\"x\") 手机壳", .price = "15.00", .commission_rate = "500",
         .click_url = "http://s.click.taobao.com/t?e=a", .action = library::HistoryAction::kOpened},
        {.time_ms = now - 2000, .kind = library::EntryKind::kItem, .id = "102", .nick = "乙店",
         .title = "新款夏季连衣裙", .price = "89.00", .commission_rate = "1250",
         .click_url = "http://s.click.taobao.com/t?e=b", .action = library::HistoryAction::kCopied},
        {.time_ms = now - 1000, .kind = library::EntryKind::kShop, .id = "9001", .nick = "丙店",
         .title = "数码专营店", .click_url = "http://s.click.taobao.com/t?e=c",
         .action = library::HistoryAction::kOpened}};
    ASSERT_TRUE(saved.Record(entries).Ok());
  });
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TLibraryWindow* window = OpenLibraryWindow();
  ASSERT_NE(window, nullptr);
  QTableView* view = window->HistoryView;
  QTabBar* tabs = window->Tabs->tabBar();
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  ASSERT_TRUE(view->isVisible());
  ASSERT_EQ(RowsOnceThere(view, 3), 3);
  auto titles = [&] {
    QStringList shown;
    for (int row = 0; row < view->model()->rowCount(); ++row)
      shown << Cell(view, row, THistoryModel::kTitle);
    return shown.join("|");
  };
  EXPECT_EQ(titles(), "数码专营店|新款夏季连衣裙|=HYPERLINK(\"x\") 手机壳");
  EXPECT_EQ(Cell(view, 1, THistoryModel::kAction), "复制");
  EXPECT_EQ(window->Status->text(), "共 3 条");
  // 收藏 → 记录推广链接 switched off, and on again: the status line follows at once.
  for (const char* shown : {"共 3 条；推广链接的记录已关闭", "共 3 条"}) {
    QMenu* menu = ClickMenuTitle("收藏");
    ASSERT_NE(menu, nullptr);
    ClickEntry(menu, menu->actions().value(1));
    EXPECT_EQ(window->Status->text(), shown);
  }

  // Prices sort as numbers, from the smallest at the first click; the time again newest first.
  ClickHeader(view, THistoryModel::kPrice);
  EXPECT_EQ(titles(), "数码专营店|=HYPERLINK(\"x\") 手机壳|新款夏季连衣裙");
  ClickHeader(view, THistoryModel::kPrice);
  EXPECT_EQ(titles(), "新款夏季连衣裙|=HYPERLINK(\"x\") 手机壳|数码专营店");
  ClickHeader(view, THistoryModel::kTime);

  // The filter: a word inside a title; Escape shows every entry again.
  TypeInto(window->Filter, "连衣裙");
  ASSERT_EQ(RowsOnceThere(view, 1), 1);
  EXPECT_EQ(titles(), "新款夏季连衣裙");
  QTest::keyClick(window->Filter, Qt::Key_Escape);
  ASSERT_EQ(RowsOnceThere(view, 3), 3);
  // A filter with nothing the library can look for finds nothing, and says why.
  TypeInto(window->Filter, "%_");
  ASSERT_EQ(RowsOnceThere(view, 0), 0);
  EXPECT_EQ(window->Status->text(), "筛选条件中没有可查找的文字：请输入字母、数字或汉字");
  QTest::keyClick(window->Filter, Qt::Key_Escape);
  ASSERT_EQ(RowsOnceThere(view, 3), 3);
  EXPECT_EQ(window->Status->text(), "共 3 条");

  // A double-click opens the address; Enter opens the current row's again and Ctrl+C copies
  // it, the row kept current while the entries recorded come on top; Ctrl+C on a clicked row.
  Activate(window);
  DoubleClickRow(view, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Recorded().empty(); }, 10000));
  EXPECT_EQ(Recorded()[0], "http://s.click.taobao.com/t?e=b");
  ASSERT_EQ(RowsOnceThere(view, 4), 4);
  EXPECT_EQ(Cell(view, 0, THistoryModel::kAction), "打开");
  EXPECT_EQ(Cell(view, 0, THistoryModel::kTitle), "新款夏季连衣裙");
  EXPECT_EQ(view->currentIndex().row(), 2) << "the entry double-clicked stays current";
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recorded().size() == 2; }, 10000));
  EXPECT_EQ(Recorded()[1], "http://s.click.taobao.com/t?e=b");
  ASSERT_EQ(RowsOnceThere(view, 5), 5);
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://s.click.taobao.com/t?e=b");
  ASSERT_EQ(RowsOnceThere(view, 6), 6);
  EXPECT_EQ(Cell(view, 0, THistoryModel::kAction), "复制");
  EXPECT_EQ(view->selectionModel()->selectedRows().value(0).row(), 4) << "still selected";
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, TableRow(view, 5));
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://s.click.taobao.com/t?e=a");
  ASSERT_EQ(RowsOnceThere(view, 7), 7);
  EXPECT_EQ(Cell(view, 0, THistoryModel::kAction), "复制");

  // The Delete key removes the current entry once confirmed (a "no" is the saved tab's to show).
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, TableRow(view, 4));
  ASSERT_EQ(Cell(view, 4, THistoryModel::kTitle), "数码专营店");
  AnswerNextBox("是(&Y)");
  QTest::keyClick(view, Qt::Key_Delete);
  ASSERT_EQ(RowsOnceThere(view, 6), 6);
  EXPECT_EQ(HistoryHolding(6).size(), 6u);
  EXPECT_EQ(titles(),
            "=HYPERLINK(\"x\") 手机壳|新款夏季连衣裙|新款夏季连衣裙|新款夏季连衣裙|新款夏季连衣裙|"
            "=HYPERLINK(\"x\") 手机壳");

  // The export of what the filter lets through.
  TypeInto(window->Filter, "手机壳");
  ASSERT_EQ(RowsOnceThere(view, 2), 2);
  std::string saved = ExportPath("history");
  SaveAsInNextDialog(saved);
  ASSERT_TRUE(PickFromTableMenu(view, 0, "导出..."));
  std::string csv = TakeFile(saved);
  EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBFtime,kind,id,nick,title,")) << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
  EXPECT_NE(csv.find(",\"'=HYPERLINK(\"\"x\"\") 手机壳\","), std::string::npos) << csv;
  EXPECT_EQ(csv.find("连衣裙"), std::string::npos) << csv;
  QTest::keyClick(window->Filter, Qt::Key_Escape);
  ASSERT_EQ(RowsOnceThere(view, 6), 6);

  // Clearing, confirmed, empties the history.
  AnswerNextBox("是(&Y)");
  ASSERT_TRUE(PickFromTableMenu(view, 0, "清空记录..."));
  ASSERT_EQ(RowsOnceThere(view, 0), 0);
  EXPECT_TRUE(HistoryHolding(0).empty());
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->Status->text() == "还没有历史记录"; }, 6000))
      << window->Status->text().toStdString();
}

// A library file of another program, or of a newer Vendrix, is said once and never written:
// the window works on without it (a newer one is still shown), its bytes as they were.
TEST_F(WindowTest, ALibraryItCannotWriteIsSaidOnceAndLeftAsItWas) {
  struct File {
    const char* name;
    std::function<void(const std::string& path)> make;
    QString says;
    int rows;  // what the history tab shows
  };
  const File files[] = {
      {"another program's",
       [](const std::string& path) {
         sql::Database db(path, sql::Database::Mode::kCreate);
         db.Execute("PRAGMA application_id = 1297498673; CREATE TABLE t(x);");
       },
       "不是 Vendrix 的收藏与记录文件", 0},
      {"newer",
       [](const std::string& path) {
         {
           library::LibraryStatus status;
           auto opened = library::Library::Open(path, library::Library::Access::kWrite, status);
           ASSERT_TRUE(opened);
           library::HistoryEntry entry{.kind = library::EntryKind::kItem, .id = "7",
                                       .title = "旧记录", .click_url = "http://a.example/"};
           ASSERT_TRUE(opened->Record(entry).Ok());
         }
         sql::Database db(path, sql::Database::Mode::kReadWrite);
         db.Execute("PRAGMA user_version = 3; UPDATE meta SET value = 2");
       },
       "来自更新的 Vendrix", 1},
  };
  for (const File& file : files) {
    SCOPED_TRACE(file.name);
    data_home_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", data_home_->path().toLocal8Bit());
    const std::string path = library::DefaultLibraryPath();
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    file.make(path);
    auto bytes = [&] {
      std::ifstream in(path, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    MessageBoxes boxes;
    sandbox_.reset();
    ASSERT_FALSE(OpenOnFirstPage().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.said.isEmpty(); }, 10000));
    EXPECT_TRUE(boxes.said[0].contains(file.says)) << boxes.said[0].toStdString();
    EXPECT_TRUE(boxes.said[0].contains(QString::fromStdString(path)));

    // A click works, and records nothing; saving a shop cannot be picked.
    ASSERT_TRUE(WaitForCommissions(0));
    ASSERT_FALSE(SpreadLink(".title a", QRect(0, 0, 200, 200)).isEmpty());
    ClickOnPage(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Recorded().empty(); }, 10000));
    EXPECT_FALSE(ListMenuEntries(1).contains("收藏店铺"));

    TLibraryWindow* window = OpenLibraryWindow();
    ASSERT_NE(window, nullptr);
    window->Tabs->setCurrentIndex(1);
    EXPECT_EQ(RowsOnceThere(window->HistoryView, file.rows), file.rows);
    QTest::qWait(300);
    EXPECT_EQ(boxes.said.size(), 1) << "said once";
    form_.reset();
    EXPECT_TRUE(bytes() == before) << "the file was written";
    std::remove(recorder_path_.c_str());
  }
}

TEST_F(WindowTest, MarkupInEveryFieldShowsAsTextAndRunsNoScript) {
  StartSandbox();
  OpenWindow();
  TForm1& f = *form_;
  // What a script of the page would leave behind: a mark on the document the window's own
  // scripts can see.
  const std::string attack =
      "<script>document.documentElement.dataset.pwned=1</script>"
      "<img src=x onerror=\"document.documentElement.dataset.pwned=2\">";
  auto pwned = [&] { return RunJs("document.documentElement.dataset.pwned || ''").toString(); };
  Info& row = f.Finder().Sellers()[0];
  for (std::string* field : {&row.nick, &row.location, &row.title, &row.credit_pic_url,
                             &row.logo_url}) {
    *field = attack;
  }
  auto items = std::make_shared<std::vector<TaobaoSearchInfo>>(201);
  for (int i = 0; i < 3; ++i) {
    for (const auto& field : TaobaoSearchInfo::kFields) (*items)[i].*field.member = attack;
  }
  row.items = items;
  f.ShowHtml(f.Finder().BuildShopPage(0));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return RunJs("document.body ? document.body.innerText : ''").toString().contains(
                QString::fromStdString(attack.substr(0, 30))); },
      10000))
      << "the markup shows as text";
  QTest::qWait(300);
  EXPECT_EQ(pwned(), "") << "no script ran";
  EXPECT_EQ(RunJs("document.scripts.length").toInt(), 0);

  // Nor would a script that got into the page: the page runs none of its own.
  f.ShowHtml(EmptyPage() + attack);
  ASSERT_TRUE(QTest::qWaitFor([&] { return RunJs("document.scripts.length").toInt() == 1; },
                              10000));
  QTest::qWait(300);
  EXPECT_EQ(pwned(), "") << "the page's own script ran";
}

// Keys aimed at the page never reach it, but Tab and Shift+Tab lead out of it and Ctrl+C copies
// its selected text; Enter in the seller list shows the current row's page.
TEST_F(WindowTest, KeysAndRightClicksAimedAtThePageAreDropped_EnterInTheListShowsItsRow) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  ActivateWindow();
  QWidget* page = f.WebBrowser1->focusProxy() ? f.WebBrowser1->focusProxy() : f.WebBrowser1;
  EventRecorder at_page(page);
  f.ListView1->setFocus();
  Press(Qt::Key_Tab);
  EXPECT_TRUE(FocusInPage()) << "Tab leads from the list to the page, not through its cells: "
                             << FocusName();
  EXPECT_EQ(f.ListView1->currentRow(), 0);
  Press(Qt::Key_A);
  Press(Qt::Key_Return);
  QTest::mouseClick(page, Qt::RightButton, {}, QPoint(50, 50));
  QTest::qWait(100);
  EXPECT_EQ(at_page.Count(QEvent::KeyPress), 0);
  EXPECT_FALSE(TForm1::Searching.load()) << "Enter on the page searches nothing";
  EXPECT_EQ(at_page.Count(QEvent::MouseButtonPress), 0);
  QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(5, 600));
  EXPECT_EQ(at_page.Count(QEvent::MouseButtonPress), 1) << "left clicks pass";

  // Ctrl+C copies what is selected on the page; the page still gets no key.
  QGuiApplication::clipboard()->setText("before");
  RunJs("getSelection().selectAllChildren(document.querySelector('.myshop_title'))");
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.WebBrowser1->hasSelection(); }, 5000));
  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("卖家昵称："))
      << QGuiApplication::clipboard()->text().toStdString();
  EXPECT_EQ(at_page.Count(QEvent::KeyPress), 0);

  // Tab and Shift+Tab leave the page, as they leave any control.
  ASSERT_TRUE(FocusInPage()) << FocusName();
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), f.ComboBox1) << FocusName();
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(FocusInPage()) << FocusName();
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), f.ListView1) << FocusName();

  EventRecorder at_list(f.ListView1->viewport());
  QTest::mouseClick(f.ListView1->viewport(), Qt::RightButton, {}, RowCenter(0));
  EXPECT_EQ(at_list.Count(QEvent::MouseButtonPress), 1) << "right-clicks elsewhere pass";
  EXPECT_EQ(f.WebBrowser1->contextMenuPolicy(), Qt::NoContextMenu);

  // Enter in the seller list shows the current row's page at once, and searches nothing.
  QSignalSpy shown(&f, &TForm1::ShopPageShown);
  QSignalSpy ended(&f, &TForm1::SearchEnded);
  int pages = LogLines({"taobao.items.search"});
  f.ListView1->setFocus();
  Press(Qt::Key_Down);
  Press(Qt::Key_Return);
  ASSERT_TRUE(shown.count() > 0 || shown.wait(10000)) << "no page for the row Enter was pressed on";
  EXPECT_EQ(shown.at(0).at(0).toInt(), 1);
  EXPECT_TRUE(PageHtml().contains("卖家昵称：" + f.ListView1->item(1, 2)->text()));
  QTest::qWait(400);
  EXPECT_EQ(LogLines({"taobao.items.search"}), pages + 1) << "one page, not one more at rest";
  EXPECT_EQ(ended.count(), 0) << "Enter in the seller list starts no search";
}

// A selection moved by keys shows its row's page once it has rested; a search (Enter in the
// search box presses the default button) gives the focus back to where it was.
TEST_F(WindowTest, ASelectionMovedByKeysShowsItsPage_ASearchGivesTheFocusBack) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  TForm1& f = *form_;
  ActivateWindow();
  f.ListView1->setFocus();
  auto selected = [&] { return f.ListView1->selectionModel()->selectedRows().at(0).row(); };
  const struct {
    Qt::Key key;
    int presses;
  } moves[] = {{Qt::Key_Down, 1}, {Qt::Key_PageDown, 1}, {Qt::Key_Home, 1},
               {Qt::Key_End, 1},  {Qt::Key_Up, 3}};
  for (const auto& move : moves) {
    int from = selected();
    int pages = LogLines({"taobao.items.search"});
    QSignalSpy shown(&f, &TForm1::ShopPageShown);
    // Pressed in a row, as fast as keys repeat: only where they stop is asked for.
    for (int i = 0; i < move.presses; ++i) Press(move.key);
    int to = selected();
    ASSERT_NE(to, from) << "key " << move.key;
    ASSERT_TRUE(shown.wait(10000)) << "no page for row " << to << " after key " << move.key;
    EXPECT_EQ(shown.at(0).at(0).toInt(), to);
    EXPECT_TRUE(PageHtml().contains("卖家昵称：" + f.ListView1->item(to, 2)->text()));
    EXPECT_EQ(LogLines({"taobao.items.search"}), pages + 1) << "key " << move.key;
  }

  // Where the focus was when the search started, there it is when it ends.
  const struct {
    QWidget* focus;
    std::function<void()> search;
  } searches[] = {
      {f.ComboBox3, [&] { Press(Qt::Key_Return); }},
      {f.Button1, [&] { QTest::mouseClick(f.Button1, Qt::LeftButton); }},
  };
  for (const auto& search : searches) {
    search.focus->setFocus();
    QSignalSpy ended(&f, &TForm1::SearchEnded);
    search.search();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(20000));
    EXPECT_EQ(QApplication::focusWidget(), search.focus) << FocusName();
  }
}

TEST_F(WindowTest, VendorLinkAndHotRow) {
  StartSandbox();
  OpenWindow();
  TForm1& f = *form_;
  // The address fits the label's place (no ink on its last columns) at 9 pixels or more,
  // elided in the middle only when it must; the full address is its tooltip.
  QString base = QString::fromStdString(sandbox_->Base());
  const struct {
    QString address;
    QString starts, ends;
    bool elided;
  } addresses[] = {{"http://www.vendrix.net/", "", "vendrix.net", false},
                   {base, "127.0", base.chopped(1).right(2), true}};
  for (const auto& a : addresses) {
    f.Label2->SetAddress(a.address);
    QImage label = f.Label2->grab().toImage();
    QString shown = f.Label2->text();
    EXPECT_EQ(f.Label2->geometry(), QRect(270, 70, 74, 13));
    EXPECT_GT(BluePixels(label), 20) << "the address shows";
    EXPECT_EQ(BluePixels(label.copy(label.width() - 2, 0, 2, label.height())), 0)
        << "cut at the label's edge: " << shown.toStdString();
    EXPECT_GE(f.Label2->font().pixelSize(), 9);
    EXPECT_TRUE(shown.startsWith(a.starts) && shown.endsWith(a.ends)) << shown.toStdString();
    EXPECT_EQ(shown.contains("…"), a.elided) << shown.toStdString();
    EXPECT_EQ(f.Label2->toolTip(), a.address);
  }
  QTest::mouseMove(f.Label2, QPoint(10, 5));
  EXPECT_EQ(f.Label2->palette().color(QPalette::WindowText), QColor(255, 85, 0));
  EXPECT_EQ(f.Label2->cursor().shape(), Qt::PointingHandCursor);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(f.Label2, &leave);
  EXPECT_NE(f.Label2->palette().color(QPalette::WindowText), QColor(255, 85, 0));
  QTest::mouseClick(f.Label2, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Recorded().empty(); }, 10000));
  EXPECT_EQ(Recorded()[0], sandbox_->Base()) << "the vendor's address opens";
  // The browser starts in the environment this program was given, not the one its embedded
  // browser runs in (GuiTestMain gives these flags, and no OpenGL integration).
  ASSERT_EQ(Recorded(".env").size(), 1u);
  EXPECT_EQ(Recorded(".env")[0], "unset|--disable-gpu --disable-background-networking");
  // A press on the label released elsewhere, or a release that was not pressed there, opens
  // nothing.
  int opened = 0;
  f.SetLinkOpener([&](const std::string&) { return ++opened > 0; });
  QTest::mousePress(f.Label2, Qt::LeftButton, {}, QPoint(10, 5));
  QTest::mouseRelease(f.Label2, Qt::LeftButton, {}, QPoint(10, 40));
  QTest::mouseRelease(f.Label2, Qt::LeftButton, {}, QPoint(10, 5));
  EXPECT_EQ(opened, 0);

  QTest::mouseMove(f.ListView1->viewport(), RowCenter(3));
  EXPECT_EQ(f.ListView1->viewport()->cursor().shape(), Qt::PointingHandCursor);
  QImage list = f.ListView1->viewport()->grab().toImage();
  QRect hot_row(0, f.ListView1->rowViewportPosition(3), f.ListView1->viewport()->width(),
                f.ListView1->rowHeight(3));
  bool red_text = false;
  for (int y = hot_row.top(); y <= hot_row.bottom() && !red_text; ++y) {
    for (int x = f.ListView1->columnViewportPosition(2); x < hot_row.right() && !red_text; ++x) {
      red_text = list.pixelColor(x, y) == QColor(239, 29, 29);
    }
  }
  EXPECT_TRUE(red_text) << "the row under the pointer is drawn in RGB(239, 29, 29)";

  // Over the selection the text stays legible (WCAG's 4.5:1), under the pointer too: the
  // contrast of its strokes' colour to the selection's.
  QTest::mouseMove(f.ListView1->viewport(), RowCenter(0));
  ASSERT_EQ(f.ListView1->selectionModel()->selectedRows().at(0).row(), 0);
  auto cell = [&](int row, int column) {
    return QRect(f.ListView1->columnViewportPosition(column), f.ListView1->rowViewportPosition(row),
                 f.ListView1->columnWidth(column) - 1, f.ListView1->rowHeight(row) - 1);
  };
  list = f.ListView1->viewport()->grab().toImage();
  for (int column : {2, 3}) {
    QRect text = cell(0, column).adjusted(2, 2, -2, -2);
    QColor ground = list.pixelColor(text.topLeft());
    double strongest = 0;
    for (int y = text.top(); y <= text.bottom(); ++y) {
      for (int x = text.left(); x <= text.right(); ++x) {
        strongest = std::max(strongest, Contrast(list.pixelColor(x, y), ground));
      }
    }
    EXPECT_GE(strongest, 4.5) << "column " << column;
  }

  // A nick too long for its column keeps clear of the column's edges (it ends in "…") and
  // shows whole in its tooltip; a nick that fits has none.
  // Markup in it is part of the nick.
  const QString long_nick = "<b>rather</b>_long_nick_of_35_chars";
  ASSERT_EQ(long_nick.size(), 35);
  SearchOutcome outcome{.found = true, .count = 2};
  outcome.rows = {{Utf8ToGbk(long_nick.toStdString()), Utf8ToGbk("浙江杭州"), 6, 5},
                  {"short", Utf8ToGbk("浙江杭州"), 6, 5}};
  f.FillList(outcome);
  list = f.ListView1->viewport()->grab().toImage();
  QRect nick = cell(0, 2);
  EXPECT_GT(InkPixels(list, nick), 50) << "the nick shows";
  EXPECT_EQ(InkPixels(list, QRect(nick.left(), nick.top(), 2, nick.height())), 0)
      << "cut at the left edge";
  EXPECT_EQ(InkPixels(list, QRect(nick.right() - 1, nick.top(), 2, nick.height())), 0)
      << "cut at the right edge";
  EXPECT_EQ(TooltipAt(f.ListView1->viewport(), nick.center()).toStdString(),
            long_nick.toStdString());
  EXPECT_EQ(TooltipAt(f.ListView1->viewport(), cell(1, 2).center()).toStdString(), "");
}

// A window destroyed while its page still has to answer whose it is: the answer, which comes as
// the page goes, finds a window that has closed, and nothing of the window is used after.
TEST_F(WindowTest, DestroyedWhileThePageAnswers_NothingRunsIntoIt) {
  ASSERT_FALSE(OpenOnFirstPage().isEmpty());
  QSignalSpy shown(form_.get(), &TForm1::ShopPageShown);
  // Right after the page has loaded, when the window has just asked it.
  QObject::connect(form_.get(), &TForm1::PageLoaded, form_.get(), [&] { form_.reset(); },
                   Qt::QueuedConnection);
  QTest::mouseClick(form_->ListView1->viewport(), Qt::LeftButton, {}, RowCenter(1));
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_ == nullptr; }, 10000));
  QTest::qWait(300);
  EXPECT_EQ(shown.count(), 0);
}

TEST_F(WindowTest, ClosingDuringASlowSearchEndsWithinASecond) {
  StartSandbox({.seed = 7, .latency_ms = 5000});
  OpenWindow(false);
  ASSERT_TRUE(TForm1::Searching.load());
  QTest::qWait(300);  // the worker is waiting for the gateway now
  auto start = std::chrono::steady_clock::now();
  form_->close();
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, 1000ms);
  EXPECT_FALSE(TForm1::Searching.load()) << "the worker has ended";
  form_.reset();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no warning on the way out";
}

// The cases that save the own account, in a D-Bus session of their own with a real, unlocked
// keyring (tests/account/with-keyring; the program gui_keyring_tests runs them so).
class WindowKeyringTest : public WindowTest {
 protected:
  void SetUp() override {
    // Never the keyring of the user who runs the tests.
    ASSERT_TRUE(qEnvironmentVariable("HOME").contains("vendrix-keyring-home"))
        << "run through tests/account/with-keyring";
    WindowTest::SetUp();
  }
};

// A window that could not read the vendor's document and has no credentials warns, and offers
// the account settings; the account saved there (its secret in the keyring) starts the window
// up again without a restart: categories, then the first search. Saved again while a search
// runs, the search is stopped without a word and start-up runs again with the new values.
TEST_F(WindowKeyringTest, SavingTheAccountRunsStartUpAgain) {
  StartSandbox();
  Settings settings = SandboxSettings();
  settings.VendorBase = "http://127.0.0.1:1/";
  QStringList warned;
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    warned << box->text();
    ClickButton(box, "账户设置...");
  });
  const QString nick = sandbox::sandbox_credentials::kAffiliateNick;
  bool busy_after_save = false;
  WhenOpen<TAccountDialog>([&](TAccountDialog* dialog) {
    EXPECT_TRUE(dialog->InUse->text().startsWith("当前没有可用的账户"))
        << dialog->InUse->text().toStdString();
    TypeInto(dialog->AppKey, sandbox::sandbox_credentials::kAppKey);
    TypeInto(dialog->AppSecret, sandbox::sandbox_credentials::kAppSecret);
    TypeInto(dialog->Nick, nick);
    // Slow categories: start-up is seen under way.
    sandbox_->SetLatency(400);
    QObject::connect(dialog, &QDialog::accepted, dialog, [&] {
      QTimer::singleShot(0, [&] {
        busy_after_save = !form_->Button1->isEnabled() && !form_->ListView1->isEnabled() &&
                          !form_->WindowMenu().AccountSettings->isEnabled();
      });
    });
    QTest::mouseClick(dialog->SaveButton, Qt::LeftButton);
  });
  form_ = std::make_unique<TForm1>(settings);
  TForm1& f = *form_;
  QSignalSpy ended(&f, &TForm1::SearchEnded);
  f.FormCreate();
  f.show();
  ASSERT_TRUE(ended.wait(30000)) << "no search after saving";
  ASSERT_EQ(warned.size(), 1) << warned.join(" / ").toStdString();
  EXPECT_TRUE(warned[0].startsWith("配置读取失败"));
  EXPECT_TRUE(busy_after_save) << "the controls and the account settings were off during start-up";
  EXPECT_TRUE(ended.at(0).at(0).toBool()) << "the first search found sellers";
  EXPECT_GT(f.ListView1->rowCount(), 0);
  EXPECT_EQ(f.ComboBox1->itemText(0), "所有类目");
  EXPECT_GT(f.ComboBox1->count(), 1) << "the categories came from the platform";
  EXPECT_EQ(LogLines({"taobao.itemcats.get", "\t200\t"}), 1);
  EXPECT_EQ(f.Finder().Credentials().key_source, CredentialSource::kOwnAccount);
  // Opened again: the own account in use, its key and nick filled in, the secret left empty;
  // the test takes the secret stored in the keyring.
  bool tested = false;
  WhenOpen<TAccountDialog>([&](TAccountDialog* dialog) {
    EXPECT_EQ(dialog->InUse->text().toStdString(),
              "当前使用的账户：\n应用 Key 与密钥：自己的账户（21000001）\n"
              "推广者昵称：自己的账户（" + nick.toStdString() + "）");
    EXPECT_EQ(dialog->AppKey->text(), sandbox::sandbox_credentials::kAppKey);
    EXPECT_EQ(dialog->Nick->text(), nick);
    EXPECT_EQ(dialog->AppSecret->text(), "");
    QTest::mouseClick(dialog->TestButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->TestButton->isEnabled(); }, 20000));
    EXPECT_TRUE(dialog->Result->text().startsWith("连接成功。"))
        << dialog->Result->text().toStdString();
    QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    tested = true;
  });
  ClickEntry(ClickMenuTitle("设置"), f.WindowMenu().AccountSettings);
  ASSERT_TRUE(tested);

  // A slow search under way, and the account saved with another nick meanwhile: the search
  // ends without a word, start-up runs again, and the next search is the new nick's.
  sandbox_->SetLatency(1500);
  QTest::mouseClick(f.Button1, Qt::LeftButton);
  ASSERT_TRUE(TForm1::Searching.load());
  WhenOpen<TAccountDialog>([&](TAccountDialog* dialog) {
    TypeInto(dialog->Nick, "another_nick");
    QTest::mouseClick(dialog->SaveButton, Qt::LeftButton);
  });
  MessageBoxes boxes;
  ended.clear();
  ClickEntry(ClickMenuTitle("设置"), f.WindowMenu().AccountSettings);
  sandbox_->SetLatency(0);
  ASSERT_TRUE(ended.wait(30000)) << "no search after saving again";
  EXPECT_TRUE(ended.at(0).at(0).toBool());
  EXPECT_EQ(ended.size(), 1) << "the stopped search's end was shown";
  EXPECT_EQ(f.Finder().DefaultNick(), "another_nick");
  EXPECT_GT(f.ListView1->rowCount(), 0);
  EXPECT_EQ(LogLines({"taobao.itemcats.get", "\t200\t"}), 3) << "start-up ran again";
  QTest::qWait(300);
  EXPECT_TRUE(boxes.said.isEmpty()) << boxes.said.join(" / ").toStdString();
}

}  // namespace
}  // namespace vendrix
