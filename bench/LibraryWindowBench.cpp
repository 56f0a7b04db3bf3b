// Opening the 收藏与记录 window on a large library: the file that library_bench makes (1,000,000
// history entries, 10,000 saved shops; run library_bench first) in $VENDRIX_BENCH_LIBRARY_DIR,
// else /tmp/vendrix-library-bench. Each round times, on the window's thread, from the window's
// construction (as the 收藏 menu's entry makes it) until both its tables hold their first rows
// and it has painted them; each round has a reader of its own, so the file is opened again.
// Then the longest stall of the window's event loop while the history is scrolled down to its
// 2,000th row, its pages fetched as the view reaches them.
// Offscreen when there is no display. Usage: library_window_bench [--rounds N]; prints one
// line per round.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/LoopProbe.h"
#include "gui/LibraryModels.h"
#include "gui/LibraryReader.h"
#include "gui/LibraryRecorder.h"
#include "gui/LibraryWindow.h"

namespace {

namespace bench_defaults {
constexpr int kRounds = 20;
constexpr int kScrolledRows = 2000;  // how far down the history the scroll goes
constexpr int kTimeoutMs = 60000;
}  // namespace bench_defaults

std::string LibraryPath() {
  const char* dir = std::getenv("VENDRIX_BENCH_LIBRARY_DIR");
  std::string folder = dir != nullptr && dir[0] != '\0' ? dir : "/tmp/vendrix-library-bench";
  return folder + "/data/vendrix/vendrix.db";
}

using vendrix::bench::LoopProbe;

// Runs the loop until `done` holds or the time is up; false on the time.
template <typename Done>
bool RunUntil(Done done) {
  QElapsedTimer waited;
  waited.start();
  while (!done()) {
    if (waited.elapsed() > bench_defaults::kTimeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  int rounds = bench_defaults::kRounds;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::string path = LibraryPath();
  if (!std::filesystem::exists(path)) {
    std::fprintf(stderr, "no library at %s: run library_bench first\n", path.c_str());
    return 1;
  }
  using namespace vendrix;
  // Stands in for the main window, shown with Chinese text first as that is: the fonts are
  // loaded by the time the menu is used.
  QLabel owner(QString::fromUtf8("收藏与记录"));
  owner.resize(400, 300);
  owner.show();
  QCoreApplication::processEvents();
  // Its writer opens the file only for a change, and nothing here changes it.
  TLibraryRecorder recorder(path, &owner, {});
  for (int round = 0; round < rounds; ++round) {
    QElapsedTimer clock;
    clock.start();
    auto* reader = new TLibraryReader(path, {}, nullptr);
    auto* window = new TLibraryWindow(*reader, recorder, {}, &owner);
    bool first = false;
    QObject::connect(window, &TLibraryWindow::FirstRows, [&] { first = true; });
    window->show();
    if (!RunUntil([&] { return first; })) {
      std::fprintf(stderr, "no first rows\n");
      return 1;
    }
    window->repaint();
    const double first_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const int history_rows = window->History->rowCount(QModelIndex());
    const int saved_rows = window->Saved->rowCount(QModelIndex());

    // Down the history, a page of the view at a time, as a user's Page Down would.
    window->Tabs->setCurrentIndex(1);
    QTableView* view = window->HistoryView;
    LoopProbe probe;
    QElapsedTimer scrolled;
    scrolled.start();
    bool reached = RunUntil([&] {
      QScrollBar* bar = view->verticalScrollBar();
      bar->setValue(bar->value() + bar->pageStep());
      return window->History->rowCount(QModelIndex()) >= bench_defaults::kScrolledRows;
    });
    const double scroll_ms = static_cast<double>(scrolled.nsecsElapsed()) / 1e6;
    std::printf(
        "library_window_first_rows_ms=%.2f history_rows=%d saved_rows=%d "
        "scroll_to_%d_ms=%.1f scroll_stall_ms=%.2f%s\n",
        first_ms, history_rows, saved_rows, bench_defaults::kScrolledRows, scroll_ms,
        probe.LongestMs(), reached ? "" : " (not reached)");
    std::fflush(stdout);
    delete window;  // its models read through the reader
    delete reader;
  }
  return 0;
}
