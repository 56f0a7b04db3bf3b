// How the window's event loop fares while searches run: the longest stall of the loop from the
// press of the search button until WM_SEARCHDONE arrives (the search itself runs on the
// worker), and how long SearchDone then holds the loop to load the first shop page. Runs the
// real window against whatever VENDRIX_* points at; offscreen when there is no display.
// With --soak it is the window's fault soak instead: searches back to back, each warning closed
// as it appears, and the process's resident memory after each search.
// Usage: window_bench [--searches N] [--soak]; prints one line per search.
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include <QTableWidget>

#include "gui/BrowserEngine.h"
#include "gui/MyThread.h"
#include "gui/Unit1.h"

namespace {

// Watches the gaps between the loop's turns, and when WM_SEARCHDONE arrives.
class LoopProbe : public QObject {
 public:
  explicit LoopProbe(vendrix::TForm1* form) {
    form->installEventFilter(this);
    timer_.setInterval(1);
    connect(&timer_, &QTimer::timeout, this, [this] {
      qint64 now = clock_.nsecsElapsed();
      if (measuring_ && last_ > 0) longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    clock_.start();
    timer_.start();
  }
  void Start() {
    measuring_ = true;
    longest_ = 0;
    last_ = clock_.nsecsElapsed();
    started_ = last_;
  }
  double LongestStallMs() const { return longest_ / 1e6; }
  double SearchMs() const { return (done_at_ - started_) / 1e6; }
  double SinceDoneMs() const { return (clock_.nsecsElapsed() - done_at_) / 1e6; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == vendrix::WM_SEARCHDONE && measuring_) {
      // The worker's part is over; what follows is the shop page on this thread.
      qint64 now = clock_.nsecsElapsed();
      longest_ = std::max(longest_, now - last_);
      measuring_ = false;
      done_at_ = now;
    }
    return false;
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  bool measuring_ = false;
  qint64 last_ = 0;
  qint64 longest_ = 0;
  qint64 started_ = 0;
  qint64 done_at_ = 0;
};

long ResidentKilobytes() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  auto match = QRegularExpression(R"(VmRSS:\s+(\d+))").match(QString::fromLatin1(status.readAll()));
  return match.hasMatch() ? match.captured(1).toLong() : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  vendrix::PrepareBrowserEngine();
  QApplication app(argc, argv);
  int searches = 5;
  QStringList args = QApplication::arguments();
  int at = args.indexOf("--searches");
  if (at > 0 && at + 1 < args.size()) searches = std::max(1, args[at + 1].toInt());
  bool soak = args.contains("--soak");
  if (soak) {
    // A search that finds nothing ends in a modal warning: close it as the user would.
    auto* closer = new QTimer(&app);
    QObject::connect(closer, &QTimer::timeout, [] {
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    closer->start(100);
  }

  vendrix::TForm1 form;
  LoopProbe probe(&form);
  int done = 0;
  QObject::connect(&form, &vendrix::TForm1::SearchEnded, &app, [&](bool found) {
    if (done > 0 && soak) {
      std::printf("search %d: found=%d rows=%d rss_kb=%ld\n", done, found ? 1 : 0,
                  form.ListView1->rowCount(), ResidentKilobytes());
    } else if (done > 0) {
      std::printf("search %d: found=%d stall_ms=%.1f search_ms=%.1f shop_page_ms=%.1f\n", done,
                  found ? 1 : 0, probe.LongestStallMs(), probe.SearchMs(), probe.SinceDoneMs());
    }
    std::fflush(stdout);
    if (done++ == searches) {
      QApplication::exit(0);
      return;
    }
    QTimer::singleShot(soak ? 400 : 200, &form, [&] {
      probe.Start();
      form.Button1Click();
    });
  });
  form.FormCreate();
  form.show();
  return app.exec();
}
