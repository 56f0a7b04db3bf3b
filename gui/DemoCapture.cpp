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
  connect(form, &TForm1::ShopPageShown, this, [this](int) {
    if (!search_done_ || captured_) return;
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
