// The window tests run with a QApplication on the offscreen platform, or the one
// QT_QPA_PLATFORM names (tests/gui/with-openbox: xcb), the embedded browser set up as the
// window's own main() sets it up; Qt WebEngine's own sandbox cannot run as root, which test
// machines often are.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>

#include "gui/BrowserEngine.h"
#include "gui/QtTranslations.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
  // What the window remembers (its search conditions) stays with this run.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  vendrix::TBrowserEngine engine(argc, argv);
  QApplication app(engine.argc, engine.argv);
  vendrix::InstallQtTranslations(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
