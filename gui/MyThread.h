// TMyThread, the search worker: runs one seller search of the shop finder, hands the rows and
// the count to the window through queued calls, then posts WM_SEARCHDONE or WM_SEARCHFAILED.
// It never touches a widget; it deletes itself when it ends.
#pragma once

#include <QEvent>
#include <QThread>

#include "app/ShopFinder.h"

namespace vendrix {

class TForm1;

inline constexpr QEvent::Type WM_SEARCHDONE = static_cast<QEvent::Type>(1045);
inline constexpr QEvent::Type WM_SEARCHFAILED = static_cast<QEvent::Type>(1046);

class TMyThread : public QThread {
 public:
  // Sets Searching before the thread can start; the choices were read on the window's thread.
  TMyThread(TForm1* form, SearchChoices choices);

 protected:
  void run() override;

 private:
  TForm1* form_;
  SearchChoices choices_;
};

}  // namespace vendrix
