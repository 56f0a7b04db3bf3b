// The demo's view of a run (vendrix --screenshot FILE): waits for the first shop page, then
// saves a picture of the window, prints the seller rows and the time it took, and quits. A
// search that finds nothing closes its warning and quits with status 1. Window thread only.
#pragma once

#include <QObject>
#include <QString>

namespace vendrix {

class TForm1;

class TDemoCapture : public QObject {
 public:
  TDemoCapture(TForm1* form, QString path);

 private:
  void Capture();

  TForm1* form_;
  QString path_;
  bool search_done_ = false;
  bool captured_ = false;
};

}  // namespace vendrix
