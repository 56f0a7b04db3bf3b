// What the window says about its start-up. While the configuration and the categories take
// longer than a moment (the window appears only once they are in, and a silent configuration
// server holds it for 15 s), a small window says that start-up is under way. When the
// configuration could not be read and no credentials of the user's own stand in for it, a search
// cannot run: the window says so, and why, where the search would have warned that no seller
// was found, and offers the account settings, with which Vendrix works without the vendor's
// server. Window thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QWidget;

namespace vendrix {

class ShopFinder;

namespace start_up_defaults {
inline constexpr int kNoticeAfterMs = 500;  // a start-up quicker than this shows nothing
}  // namespace start_up_defaults

class TStartUpNotice : public QObject {
 public:
  // `edit_account` opens the account settings, from the warning's button 账户设置....
  TStartUpNotice(QWidget* form, std::function<void()> edit_account);
  ~TStartUpNotice() override;

  // Start-up has begun: the small window shows once it has lasted kNoticeAfterMs.
  void Begin();
  // Start-up of `finder` has ended: the small window goes, and a start-up that could not run
  // through for want of its configuration is remembered with the reason.
  void Done(const ShopFinder& finder);
  // True when the configuration could not be read: then the window, once it is up, says so in
  // a warning with the document's address and the reason, and no search can run. The warning's
  // button 账户设置... opens the account settings.
  bool ConfigurationUnreadable();

 private:
  QWidget* form_;
  std::function<void()> edit_account_;
  QTimer timer_;
  std::unique_ptr<QLabel> notice_;
  bool unreadable_ = false;
  QString address_;
  QString reason_;
};

}  // namespace vendrix
