// The window on an X server with a window manager, as tests/gui/with-openbox runs it (Xvfb at
// 1280 x 1024, openbox, Qt's xcb platform), seen as the user's tools see it: X clients
// (xprop, xwininfo, xdotool) read what the server holds and act as a user would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "gui/Unit1.h"
#include "gui/WindowMenu.h"
#include "sandbox/Sandbox.h"

// Sizes in failure messages as 954x674.
inline void PrintTo(const QSize& size, std::ostream* out) {
  *out << size.width() << "x" << size.height();
}

namespace vendrix {
namespace {

// Runs an X client to its end, the window's events handled meanwhile; returns what it printed.
QString RunX(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  bool ended = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 5000);
  EXPECT_TRUE(ended) << program.toStdString() << " did not end";
  return QString::fromUtf8(process.readAllStandardOutput());
}

// A window's property as the server holds it, as xprop prints it after "= ", or "".
QString Property(WId window, const char* name) {
  QString line = RunX("xprop", {"-id", QString::number(window), name}).trimmed();
  int equals = line.indexOf(" = ");
  return equals < 0 ? QString() : line.mid(equals + 3);
}

// Where a window is on the screen, as the server has it.
QRect OnScreen(WId window) {
  QString info = RunX("xwininfo", {"-id", QString::number(window)});
  auto field = [&](const QString& name) {
    int at = info.indexOf(name + ":");
    return at < 0 ? -1 : info.mid(at + name.size() + 1).section('\n', 0, 0).trimmed().toInt();
  };
  return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
               field("Height"));
}

// The window manager's frame around a client window: the client grown by _NET_FRAME_EXTENTS.
QRect Frame(WId window) {
  // left, right, top, bottom
  QStringList extents = Property(window, "_NET_FRAME_EXTENTS").split(", ");
  if (extents.size() != 4) return QRect();
  return OnScreen(window).adjusted(-extents[0].toInt(), -extents[2].toInt(), extents[1].toInt(),
                                   extents[3].toInt());
}

class WindowX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run through tests/gui/with-openbox";
  }
  void TearDown() override {
    form_.reset();
    sandbox_.reset();
  }
  // The window after FormCreate, shown, with its first search ended; then every gateway reply
  // takes `latency_ms` longer.
  void OpenWindow(int latency_ms = 0) {
    sandbox_ = std::make_unique<sandbox::Sandbox>(sandbox::SandboxOptions{.seed = 7});
    sandbox_->Start();
    Settings s;
    s.VendorBase = sandbox_->Base();
    s.Gateway = sandbox_->Base() + "router/rest";
    s.ShopLogo = sandbox_->Base() + "shop-logo";
    s.RankPics = sandbox_->Base() + "newrank/";
    form_ = std::make_unique<TForm1>(s);
    QSignalSpy ended(form_.get(), &TForm1::SearchEnded);
    form_->FormCreate();
    form_->show();
    ASSERT_TRUE(ended.wait(20000)) << "the first search did not end";
    sandbox_->SetLatency(latency_ms);
  }

  std::unique_ptr<sandbox::Sandbox> sandbox_;
  std::unique_ptr<TForm1> form_;
};

// The title the window manager reads is the caption, nothing appended.
TEST_F(WindowX11Test, TheWindowManagerShowsExactlyTheCaption) {
  OpenWindow(300);
  TForm1& f = *form_;
  WId window = f.winId();
  QString title;
  auto title_is = [&](const QString& expected) {
    return QTest::qWaitFor(
        [&] { return (title = Property(window, "_NET_WM_NAME")) == "\"" + expected + "\""; }, 3000);
  };
  EXPECT_TRUE(title_is("Vendrix")) << title.toStdString();
  QSignalSpy ended(&f, &TForm1::SearchEnded);
  f.Button1Click();
  EXPECT_TRUE(title_is("正在搜索卖家,请稍等......")) << title.toStdString();
  EXPECT_EQ(f.ApplicationTitle().toStdString(), "正在搜索卖家,请稍等......");
  ASSERT_TRUE(ended.count() > 0 || ended.wait(20000));
  EXPECT_TRUE(title_is("Vendrix")) << title.toStdString();
  EXPECT_EQ(f.ApplicationTitle().toStdString(), "Vendrix");
}

// An open list is as tall on the screen as its count of visible items.
TEST_F(WindowX11Test, OpenListsShowTheirCountOfItems) {
  OpenWindow();
  TForm1& f = *form_;
  const struct {
    const char* name;
    QComboBox* box;
    int items;
  } lists[] = {{"ComboBox1", f.ComboBox1, 40}, {"ComboBoxEx1", f.ComboBoxEx1, 20},
               {"ComboBoxEx2", f.ComboBoxEx2, 20}, {"ComboBox3", f.ComboBox3, 32}};
  for (const auto& list : lists) {
    ASSERT_GE(list.box->count(), list.items);
    list.box->showPopup();
    QWidget* popup = list.box->view()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    int row = list.box->view()->visualRect(list.box->model()->index(0, 0)).height();
    int height = OnScreen(popup->winId()).height();
    std::string what = std::string(list.name) + ": " + std::to_string(height) + " px, rows of " +
                       std::to_string(row);
    EXPECT_GE(height, list.items * row) << what;
    EXPECT_LT(height, (list.items + 1) * row) << what;
    list.box->hidePopup();
  }
}

// FormCreate's centring, by the frame: left = (screen width - frame width) / 2, top = (screen
// height - frame height) / 2 - 10. The border never shrinks the window below its design;
// maximising stretches it.
TEST_F(WindowX11Test, TheFrameIsCentred_TheBorderNeverShrinksIt_MaximisingStretches) {
  OpenWindow();
  TForm1& f = *form_;
  WId window = f.winId();
  QSize screen = f.screen()->geometry().size();
  QRect frame;
  auto centred = [&] {
    frame = Frame(window);
    QPoint expected((screen.width() - frame.width()) / 2,
                    (screen.height() - frame.height()) / 2 - 10);
    return frame.isValid() && frame.topLeft() == expected;
  };
  EXPECT_TRUE(QTest::qWaitFor(centred, 3000)) << "frame at " << frame.x() << "," << frame.y()
                                              << " size " << frame.width() << "x" << frame.height();
  // The design's client area, and the menu bar above it.
  const int bar = f.WindowMenu().Bar()->height();
  EXPECT_EQ(OnScreen(window).size(), QSize(954, 674 + bar));
  EXPECT_EQ(f.ClientArea->size(), QSize(954, 674));

  // Drags on the frame's bottom right corner: it resizes (a deliberate departure, see
  // docs/BEHAVIOUR.md), never below the design's size.
  auto drag_corner = [&](int by) {
    QRect outer = Frame(window);
    QSize before = OnScreen(window).size(), size;
    auto at = [&](int d) {
      return QStringList{QString::number(outer.right() + d),
                         QString::number(outer.bottom() - 1 + d)};
    };
    // The pauses let openbox take the press where the pointer has arrived before it moves on,
    // and keep a press soon after the last from counting as a double click.
    QStringList steps{"sleep", "0.6", "mousemove"};
    steps << at(0) << "sleep" << "0.1" << "mousedown" << "1" << "sleep" << "0.1" << "mousemove"
          << at(by / 2) << "sleep" << "0.2" << "mousemove" << at(by) << "sleep" << "0.2"
          << "mouseup" << "1";
    RunX("xdotool", steps);
    (void)QTest::qWaitFor([&] { return (size = OnScreen(window).size()) != before; }, 3000);
    return size;
  };
  EXPECT_EQ(drag_corner(100), QSize(1054, 774 + bar));
  EXPECT_EQ(drag_corner(-200), QSize(954, 674 + bar)) << "never below the design";

  // A double click on the title bar maximises the window; the page stretches with it.
  QRect title_bar = Frame(window);
  RunX("xdotool", {"mousemove", QString::number(title_bar.center().x()),
                   QString::number(title_bar.top() + 5), "click", "--repeat", "2", "1"});
  QRect maximised;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return (maximised = OnScreen(window)).width() == screen.width(); }, 3000))
      << maximised.width() << "x" << maximised.height();
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return f.GroupBox2->width() == maximised.width() - 367; }, 3000));
  EXPECT_EQ(f.ClientArea->height(), maximised.height() - bar);
}

// On a screen too small for the design (1280 x 1024 at a scale of 1.5 holds 853 x 682 of the
// window's pixels) the window, started as a user starts it, opens maximised and wholly on the
// screen, title bar and all; restored, it fits the screen too, and so does its 收藏与记录 window.
TEST_F(WindowX11Test, OnAScreenTooSmallForTheDesignTheWindowOpensMaximisedOnIt) {
  sandbox::Sandbox sandbox(sandbox::SandboxOptions{.seed = 7});
  sandbox.Start();
  QTemporaryDir config;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_SCALE_FACTOR", "1.5");
  env.insert("XDG_CONFIG_HOME", config.path());
  env.insert("VENDRIX_VENDOR_BASE", QString::fromStdString(sandbox.Base()));
  env.insert("VENDRIX_GATEWAY", QString::fromStdString(sandbox.Base() + "router/rest"));
  env.insert("VENDRIX_SHOP_LOGO", QString::fromStdString(sandbox.Base() + "shop-logo"));
  env.insert("VENDRIX_RANK_PICS", QString::fromStdString(sandbox.Base() + "newrank/"));
  if (geteuid() == 0) env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QProcess vendrix;
  vendrix.setProcessEnvironment(env);
  vendrix.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  vendrix.start(VENDRIX_WINDOW, {});
  ASSERT_TRUE(vendrix.waitForStarted());
  struct Stop {
    QProcess& process;
    ~Stop() {
      process.terminate();
      if (!process.waitForFinished(5000)) process.kill();
    }
  } stop{vendrix};

  // Its window, once the window manager has framed it.
  WId window = 0;
  const QRect screen(0, 0, 1280, 1024);
  QRect frame;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        QString found = RunX("xdotool", {"search", "--onlyvisible", "--pid",
                                         QString::number(vendrix.processId())})
                            .section('\n', 0, 0);
        window = found.toULongLong();
        return window != 0 && (frame = Frame(window)).isValid();
      },
      20000))
      << "the window never showed";
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Property(window, "_NET_WM_STATE").contains("_NET_WM_STATE_MAXIMIZED_HORZ"); },
      5000))
      << Property(window, "_NET_WM_STATE").toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(frame = Frame(window)); }, 5000))
      << "frame at " << frame.x() << "," << frame.y() << " size " << frame.width() << "x"
      << frame.height();

  // Restored by a double click on its title bar, it still fits.
  // The pause lets openbox see the pointer arrive before the clicks.
  RunX("xdotool",
       {"mousemove", QString::number(frame.center().x()), QString::number(frame.top() + 5), "sleep",
        "0.6", "click", "--repeat", "2", "1"});
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return !Property(window, "_NET_WM_STATE").contains("MAXIMIZED"); }, 5000))
      << "not restored";
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(frame = Frame(window)); }, 5000))
      << "restored frame at " << frame.x() << "," << frame.y() << " size " << frame.width() << "x"
      << frame.height();

  // The 收藏与记录 window, opened by keys, fits the screen as well.
  RunX("xdotool", {"windowactivate", "--sync", QString::number(window), "key", "alt+b", "sleep",
                   "0.5", "key", "Return"});
  WId library = 0;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        library = RunX("xdotool", {"search", "--onlyvisible", "--name", "收藏与记录"})
                      .section('\n', 0, 0)
                      .toULongLong();
        return library != 0 && (frame = Frame(library)).isValid();
      },
      10000))
      << "the library window never showed";
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(frame = Frame(library)); }, 5000))
      << "library window's frame at " << frame.x() << "," << frame.y() << " size "
      << frame.width() << "x" << frame.height();
}

}  // namespace
}  // namespace vendrix
