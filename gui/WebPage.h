// The page of the embedded browser (WebBrowser1): every navigation is put to the window's
// before-navigation handler, which may cancel it; links that would open a new window are put
// to it the same way. It keeps no history: each load is the only page there is, and runs no
// script of its own: only the window's scripts run, in a world of their own
// (QWebEngineScript::ApplicationWorld). Window thread only.
#pragma once

#include <QString>
#include <QWebEnginePage>
#include <functional>

namespace vendrix {

class TWebPage : public QWebEnginePage {
 public:
  // `before_navigate(url)` returns true to cancel the navigation.
  using BeforeNavigate = std::function<bool(const QUrl& url)>;

  TWebPage(BeforeNavigate before_navigate, QObject* parent);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;

 private:
  BeforeNavigate before_navigate_;
};

// A script expression, true when the page on show is the one of mark `mark`: the last comment
// of its document reads the mark (the window appends it to each page it hands over).
QString PageMarkTest(int mark);

}  // namespace vendrix
