#include "gui/DemoCapture.h"

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "gui/Unit1.h"

namespace vendrix {

namespace {
// Pictures of the page keep arriving for a moment after it reports its load.
constexpr int kSettleMs = 1500;
constexpr int kGiveUpMs = 60000;

// Milliseconds since the kernel started this process, before the loader and the libraries'
// own start (the process's start time counts in clock ticks since boot); -1 when unknown.
long long MsSinceProcessStart() {
  std::ifstream file("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The second field, the program's name in parentheses, may hold blanks: count after it.
  size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) return -1;
  std::istringstream fields(stat.substr(name_end + 2));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  timespec now{};
  long ticks = sysconf(_SC_CLK_TCK);
  if (!fields || ticks <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0) return -1;
  long long started_ms = std::stoll(field) * 1000 / ticks;
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - started_ms;
}
}  // namespace

TDemoCapture::TDemoCapture(TForm1* form, QString path)
    : QObject(form), form_(form), path_(std::move(path)) {
  connect(form, &TForm1::SearchEnded, this, [this](bool found) {
    if (found) {
      search_done_ = true;
      return;
    }
    std::fprintf(stderr, "vendrix: the search found nothing\n");
    QTimer::singleShot(500, qApp, [] {
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
      QApplication::exit(1);
    });
  });
  connect(form, &TForm1::ShopPageShown, this, [this](int) {
    if (!search_done_ || captured_) return;
    captured_ = true;
    std::printf("first shop page after %lld ms\n", MsSinceProcessStart());
    QTimer::singleShot(kSettleMs, this, &TDemoCapture::Capture);
  });
  QTimer::singleShot(kGiveUpMs, qApp, [] {
    std::fprintf(stderr, "vendrix: no shop page within a minute\n");
    QApplication::exit(1);
  });
}

void TDemoCapture::Capture() {
  bool saved = form_->grab().save(path_);
  QTableWidget* list = form_->ListView1;
  // Nicks and places come from the platform: a control byte among them must not reach the
  // terminal, nor break a row in two.
  auto cell = [list](int row, int column) {
    QString text = list->item(row, column)->text();
    for (QChar& c : text) {
      if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = ' ';
    }
    return text.toStdString();
  };
  for (int row = 0; row < list->rowCount(); ++row) {
    std::printf("%s\t%s\n", cell(row, 2).c_str(), cell(row, 3).c_str());
  }
  std::printf("screenshot %s %s\n", path_.toStdString().c_str(), saved ? "saved" : "NOT saved");
  std::fflush(stdout);
  QApplication::exit(saved ? 0 : 1);
}

}  // namespace vendrix
