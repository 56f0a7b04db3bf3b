// vendrix: the shop finder's window. `--screenshot FILE` runs the demo: the first shop page is
// saved as a picture, the sellers are printed and the program ends.
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>

#include "gui/BrowserEngine.h"
#include "gui/DemoCapture.h"
#include "gui/Unit1.h"

int main(int argc, char** argv) {
  QElapsedTimer since_start;
  since_start.start();
  vendrix::PrepareBrowserEngine();
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(":/vendrix.svg"));
  QStringList args = QApplication::arguments();
  vendrix::TForm1 form;
  int screenshot = args.indexOf("--screenshot");
  if (screenshot > 0 && screenshot + 1 < args.size()) {
    new vendrix::TDemoCapture(&form, args[screenshot + 1], since_start);
  }
  form.FormCreate();
  form.show();
  return app.exec();
}
