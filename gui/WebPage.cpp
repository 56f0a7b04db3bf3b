#include "gui/WebPage.h"

#include <QWebEngineHistory>
#include <QWebEngineSettings>

namespace vendrix {
namespace {

// Stands in for a new window just long enough to see where it was going. Whatever the window
// was to be (a Ctrl+click and a middle click both ask for a background tab), the link is put
// to the handler as a plain click is; the handler reads the keys held itself.
class TPopupCatcher : public QWebEnginePage {
 public:
  TPopupCatcher(TWebPage::BeforeNavigate before_navigate, QObject* parent)
      : QWebEnginePage(parent), before_navigate_(std::move(before_navigate)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
    before_navigate_(url);
    deleteLater();
    return false;
  }

 private:
  TWebPage::BeforeNavigate before_navigate_;
};

}  // namespace

TWebPage::TWebPage(BeforeNavigate before_navigate, QObject* parent)
    : QWebEnginePage(parent), before_navigate_(std::move(before_navigate)) {
  // The shop page is the window's own text; nothing in it is meant to run. Values from the
  // network are escaped as they go in; with scripts off, one that slipped through would still
  // be only text. The window's own scripts run in a world of their own, which this leaves on.
  settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  // Pages come from memory and stand for the selected row: going back would show an earlier
  // row's shop under the new selection.
  connect(this, &QWebEnginePage::loadFinished, this, [this] { history()->clear(); });
}

bool TWebPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool main_frame) {
  // Our own pages arrive as data: loads; frames inside a page are not the user's clicks.
  if (url.scheme() == "data" || !main_frame) return true;
  return !before_navigate_(url);
}

QWebEnginePage* TWebPage::createWindow(WebWindowType) {
  return new TPopupCatcher(before_navigate_, this);
}

QString PageMarkTest(int mark) {
  return "(function() {"
         "  var walker = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);"
         "  var last = null;"
         "  while (walker.nextNode()) last = walker.currentNode;"
         "  return last !== null && last.data === '" +
         QString::number(mark) + "';})()";
}

}  // namespace vendrix
