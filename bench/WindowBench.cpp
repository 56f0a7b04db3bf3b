// How the window's event loop fares while the platform answers slowly: the longest stall of
// the loop from the press of the search button until row 0's shop page shows, from a row click
// until its page shows, and from an item click and a shop click until the address is handed to
// the browser; every platform call runs off the window's thread. Runs the real window against
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
#include <algorithm>
#include <cstdio>

#include "gui/BrowserEngine.h"
#include "gui/Unit1.h"

namespace {

// Watches the gaps between the loop's turns.
class LoopProbe : public QObject {
 public:
  LoopProbe() {
    timer_.setInterval(1);
    connect(&timer_, &QTimer::timeout, this, [this] {
      qint64 now = clock_.nsecsElapsed();
      if (last_ > 0) longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    clock_.start();
    timer_.start();
  }
  void Start() {
    longest_ = 0;
    last_ = clock_.nsecsElapsed();
  }
  // The longest gap since Start, the one still open included.
  double LongestStallMs() const {
    return std::max(longest_, clock_.nsecsElapsed() - last_) / 1e6;
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

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
  for (int round = 1; round <= rounds; ++round) {
    probe.Start();
    form.Button1Click();
    if (!WaitFor(&form, &vendrix::TForm1::ShopPageShown)) return 1;
    double search = probe.LongestStallMs();

    probe.Start();
    form.ListView1Click(row_point(1));
    if (!WaitFor(&form, &vendrix::TForm1::ShopPageShown)) return 1;
    double row_click = probe.LongestStallMs();

    const auto& items = form.Finder().Sellers()[1].items;
    std::string iid = items && !items->empty() ? (*items)[0].iid : "1";
    probe.Start();
    form.WebBrowser1BeforeNavigate2(QUrl(QString::fromStdString("http://iid" + iid + "/")));
    if (!WaitFor(&form, &vendrix::TForm1::LinkOpened)) return 1;
    double item_click = probe.LongestStallMs();

    probe.Start();
    form.WebBrowser1BeforeNavigate2(QUrl("http://shop/"));
    if (!WaitFor(&form, &vendrix::TForm1::LinkOpened)) return 1;
    double shop_click = probe.LongestStallMs();

    std::printf("round %d: search_stall_ms=%.1f row_click_stall_ms=%.1f item_click_stall_ms=%.1f "
                "shop_click_stall_ms=%.1f\n",
                round, search, row_click, item_click, shop_click);
    std::fflush(stdout);
  }
  return 0;
}
