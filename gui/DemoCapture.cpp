#include "gui/DemoCapture.h"

#include <QApplication>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

#include "gui/Unit1.h"

namespace vendrix {

namespace {
// Pictures of the page keep arriving for a moment after it reports its load.
constexpr int kSettleMs = 1500;
constexpr int kGiveUpMs = 60000;
}  // namespace

TDemoCapture::TDemoCapture(TForm1* form, QString path, QElapsedTimer since)
    : QObject(form), form_(form), path_(std::move(path)), clock_(since) {
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
  connect(form, &TForm1::PageLoaded, this, [this](bool ok) {
    if (!ok || !search_done_ || captured_) return;
    captured_ = true;
    std::printf("first shop page after %lld ms\n", static_cast<long long>(clock_.elapsed()));
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
  for (int row = 0; row < list->rowCount(); ++row) {
    std::printf("%s\t%s\n", list->item(row, 2)->text().toStdString().c_str(),
                list->item(row, 3)->text().toStdString().c_str());
  }
  std::printf("screenshot %s %s\n", path_.toStdString().c_str(), saved ? "saved" : "NOT saved");
  std::fflush(stdout);
  QApplication::exit(saved ? 0 : 1);
}

}  // namespace vendrix
