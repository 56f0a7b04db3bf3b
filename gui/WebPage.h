// The page of the embedded browser (WebBrowser1): every navigation is put to the window's
// before-navigation handler, which may cancel it; links that would open a new window are put
// to it the same way. It keeps no history: each load is the only page there is. Window thread
// only.
#pragma once

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

}  // namespace vendrix
