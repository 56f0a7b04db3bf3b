// How the window's event loop fares while the platform answers slowly: the longest stall of
// the loop from the press of the search button until row 0's shop page shows, from a row click
// until its page shows, and from an item click (of an item the page does not know) and a shop
// click until the address is handed to the browser; every platform call runs off the window's
// thread. Also: how long the window's thread takes from the click on an item whose address came
// with the page's commissions until that address is handed to the browser (no call at all), and
// how long after its page the commissions show: after the page is shown, and after it was
// handed to the browser (when its items' conversions start). Runs the real window against
// whatever VENDRIX_* points at; offscreen when there is no display.
// With --soak it is the window's fault soak instead: searches back to back, each warning closed
// as it appears, and the process's resident memory after each search.
// Usage: window_bench [--searches N] [--soak]; prints one line per round.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>

#include "app/ShopPage.h"
#include "bench/LoopProbe.h"
#include "gui/BrowserEngine.h"
#include "gui/Unit1.h"

namespace {

using vendrix::bench::LoopProbe;

// Runs the event loop until `signal` of `sender` fires; false after `ms` without it.
template <typename Sender, typename Signal>
bool WaitFor(const Sender* sender, Signal signal, int ms = 30000) {
  QEventLoop loop;
  QObject::connect(sender, signal, &loop, [&loop] { loop.exit(0); });
  QTimer::singleShot(ms, &loop, [&loop] { loop.exit(1); });
  return loop.exec() == 0;
}

long ResidentKilobytes() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  auto match = QRegularExpression(R"(VmRSS:\s+(\d+))").match(QString::fromLatin1(status.readAll()));
  return match.hasMatch() ? match.captured(1).toLong() : -1;
}

int Soak(vendrix::TForm1& form, int searches) {
  // A search that finds nothing ends in a modal warning: close it as the user would.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  closer.start(100);
  int done = 0;
  QObject::connect(&form, &vendrix::TForm1::SearchEnded, &form, [&](bool found) {
    if (done > 0) {
      std::printf("search %d: found=%d rows=%d rss_kb=%ld\n", done, found ? 1 : 0,
                  form.ListView1->rowCount(), ResidentKilobytes());
      std::fflush(stdout);
    }
    if (done++ == searches) {
      QApplication::exit(0);
      return;
    }
    QTimer::singleShot(400, &form, [&] { form.Button1Click(); });
  });
  form.FormCreate();
  form.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  vendrix::TBrowserEngine engine(argc, argv);
  QApplication app(engine.argc, engine.argv);
  int rounds = 5;
  QStringList args = QApplication::arguments();
  int at = args.indexOf("--searches");
  if (at > 0 && at + 1 < args.size()) rounds = std::max(1, args[at + 1].toInt());

  vendrix::TForm1 form;
  if (args.contains("--soak")) return Soak(form, rounds);

  form.SetLinkOpener([](const std::string&) { return true; });  // no browser is started
  form.FormCreate();
  form.show();
  if (!WaitFor(&form, &vendrix::TForm1::ShopPageShown)) return 1;

  LoopProbe probe;
  auto row_point = [&form](int row) {
    QTableWidget* list = form.ListView1;
    return QPoint(list->columnViewportPosition(2) + 10,
                  list->rowViewportPosition(row) + list->rowHeight(row) / 2);
  };
  // Shows row `row`'s page; with `timing`, the moments (from `clock`) the page was handed to
  // the browser, shown, and its commissions shown. False when one of them never came.
  struct PageTimes {
    qint64 handed = -1, shown = -1, commissions = -1;
  };
  QElapsedTimer clock;
  clock.start();
  auto show_row = [&](int row, PageTimes* timing) {
    PageTimes times;
    // The page handed over last before the commissions is this row's; another row's page
    // (the search's) may still be showing its commissions after the click.
    QMetaObject::Connection on_handed = QObject::connect(
        form.WebBrowser1, &QWebEngineView::loadStarted, &form,
        [&] { times.handed = clock.nsecsElapsed(); });
    QMetaObject::Connection on_shown =
        QObject::connect(&form, &vendrix::TForm1::ShopPageShown, &form, [&](int shown) {
          if (shown == row) times.shown = clock.nsecsElapsed();
        });
    QMetaObject::Connection on_commissions =
        QObject::connect(&form, &vendrix::TForm1::CommissionsShown, &form, [&](int shown) {
          if (shown == row) times.commissions = clock.nsecsElapsed();
        });
    form.ListView1Click(row_point(row));
    bool ok = WaitFor(&form, &vendrix::TForm1::ShopPageShown);
    while (ok && times.commissions < 0) ok = WaitFor(&form, &vendrix::TForm1::CommissionsShown);
    for (const auto& connection : {on_handed, on_shown, on_commissions}) {
      QObject::disconnect(connection);
    }
    if (timing != nullptr) *timing = times;
    return ok && times.shown >= 0;
  };

  // The row whose commissions are timed: the first (from row 1) whose page shows more than 50
  // items, so that its conversions take two calls at once.
  int timed_row = -1;
  for (int round = 1; round <= rounds; ++round) {
    probe.Start();
    form.Button1Click();
    if (!WaitFor(&form, &vendrix::TForm1::ShopPageShown)) return 1;
    double search = probe.LongestStallMs();

    probe.Start();
    form.ListView1Click(row_point(1));
    if (!WaitFor(&form, &vendrix::TForm1::ShopPageShown)) return 1;
    double row_click = probe.LongestStallMs();

    // An item of another row: the page shown does not know it, so it is converted by a call.
    const auto& other = form.Finder().Sellers()[0].items;
    std::string iid = other && !other->empty() ? (*other)[0].iid : "1";
    probe.Start();
    form.WebBrowser1BeforeNavigate2(QUrl(QString::fromStdString("http://iid" + iid + "/")));
    if (!WaitFor(&form, &vendrix::TForm1::LinkOpened)) return 1;
    double item_click = probe.LongestStallMs();

    probe.Start();
    form.WebBrowser1BeforeNavigate2(QUrl("http://shop/"));
    if (!WaitFor(&form, &vendrix::TForm1::LinkOpened)) return 1;
    double shop_click = probe.LongestStallMs();

    // The search is the same every round: the row found in the first holds in the others.
    for (int row = 2; timed_row < 0 && row < form.ListView1->rowCount() &&
                      form.ListView1->rowViewportPosition(row) <
                          form.ListView1->viewport()->height() - 24;
         ++row) {
      if (!show_row(row, nullptr)) return 1;
      if (vendrix::ShownItemCount(form.Finder().Sellers()[row]) > 50) timed_row = row;
    }
    if (timed_row < 0) {
      std::fprintf(stderr, "no row in sight shows more than 50 items\n");
      return 1;
    }
    PageTimes times;
    if (!show_row(timed_row, &times)) return 1;
    double after_shown = std::max<qint64>(0, times.commissions - times.shown) / 1e6;
    double after_handed = (times.commissions - times.handed) / 1e6;

    // An item of the page shown, its address known: handed to the browser within the click's
    // own handling, before any call could have been answered.
    const auto& items = form.Finder().Sellers()[timed_row].items;
    std::string known = items && !items->empty() ? (*items)[0].iid : "1";
    bool opened = false;
    QMetaObject::Connection on_opened = QObject::connect(
        &form, &vendrix::TForm1::LinkOpened, &form, [&opened] { opened = true; });
    QElapsedTimer known_click;
    known_click.start();
    form.WebBrowser1BeforeNavigate2(QUrl(QString::fromStdString("http://iid" + known + "/")));
    double known_item_click = known_click.nsecsElapsed() / 1e6;
    QObject::disconnect(on_opened);
    if (!opened) {
      std::fprintf(stderr, "the known item's click sent a call instead\n");
      return 1;
    }

    std::printf("round %d: search_stall_ms=%.1f row_click_stall_ms=%.1f item_click_stall_ms=%.1f "
                "shop_click_stall_ms=%.1f known_item_click_ms=%.3f "
                "commissions_after_shown_ms=%.1f commissions_after_handed_ms=%.1f "
                "commission_items=%zu\n",
                round, search, row_click, item_click, shop_click, known_item_click, after_shown,
                after_handed, vendrix::ShownItemCount(form.Finder().Sellers()[timed_row]));
    std::fflush(stdout);
  }
  return 0;
}
