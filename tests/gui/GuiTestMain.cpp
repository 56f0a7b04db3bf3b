// The window tests run with a QApplication on the offscreen platform with a screen of
// 1280 x 1024, or the one QT_QPA_PLATFORM names (tests/gui/with-openbox: xcb), the embedded
// browser and Qt's translations set up as the window's own main() sets them up; Qt WebEngine's
// own sandbox cannot run as root, which test machines often are.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "gui/BrowserEngine.h"
#include "gui/QtTranslations.h"

int main(int argc, char** argv) {
  // What the window remembers (its search conditions, the last folder) and its library stay
  // with this run.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QTemporaryDir data;
  qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    // The offscreen screen as large as with-openbox's (its own default is 800 x 600, too
    // small for the window's design, which then opens maximised).
    QString screens = config.filePath("offscreen.json");
    QFile file(screens);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "offscreen", "x": 0, "y": 0, "width": 1280,
                       "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0) {
      return 1;
    }
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toLocal8Bit());
  }
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
  vendrix::TBrowserEngine engine(argc, argv);
  QApplication app(engine.argc, engine.argv);
  vendrix::InstallQtTranslations(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
