#include "gui/WebPage.h"

#include <QWebEngineHistory>

namespace vendrix {
namespace {

// Stands in for a new window just long enough to see where it was going.
class TPopupCatcher : public QWebEnginePage {
 public:
  TPopupCatcher(TWebPage::BeforeNavigate before_navigate, bool background, QObject* parent)
      : QWebEnginePage(parent),
        before_navigate_(std::move(before_navigate)),
        background_(background) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
    before_navigate_(url, background_);
    deleteLater();
    return false;
  }

 private:
  TWebPage::BeforeNavigate before_navigate_;
  bool background_;
};

}  // namespace

TWebPage::TWebPage(BeforeNavigate before_navigate, QObject* parent)
    : QWebEnginePage(parent), before_navigate_(std::move(before_navigate)) {
  // Pages come from memory and stand for the selected row: going back would show an earlier
  // row's shop under the new selection.
  connect(this, &QWebEnginePage::loadFinished, this, [this] { history()->clear(); });
}

bool TWebPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool main_frame) {
  // Our own pages arrive as data: loads; frames inside a page are not the user's clicks.
  if (url.scheme() == "data" || !main_frame) return true;
  return !before_navigate_(url, false);
}

QWebEnginePage* TWebPage::createWindow(WebWindowType type) {
  return new TPopupCatcher(before_navigate_, type == WebBrowserBackgroundTab, this);
}

}  // namespace vendrix
