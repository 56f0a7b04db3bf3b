// vendrix: the shop finder's window. The command line is read before any window system is
// touched; --sandbox starts the local sandbox first; --screenshot FILE runs the demo.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "VendrixVersion.h"
#include "account/Credentials.h"
#include "gui/BrowserEngine.h"
#include "gui/DemoCapture.h"
#include "gui/QtTranslations.h"
#include "gui/SandboxChild.h"
#include "gui/Unit1.h"
#include "gui/WindowOptions.h"

int main(int argc, char** argv) {
  vendrix::WindowOptions options = vendrix::ParseWindowOptions(argc, argv);
  if (!options.problem.empty()) {
    std::fprintf(stderr, "vendrix: %s\n%s", options.problem.c_str(), vendrix::WindowUsage());
    return 2;
  }
  if (options.help || options.version) {
    std::fputs(options.help ? vendrix::WindowUsage() : "vendrix " VENDRIX_VERSION "\n", stdout);
    return 0;
  }
  // Half a credential pair in the environment is bad usage, as a wrong option is; the window's
  // own sandbox uses only the credentials of its own document.
  if (std::string problem = vendrix::CredentialVariablesProblem();
      !options.sandbox && !problem.empty()) {
    std::fprintf(stderr, "vendrix: %s\n", problem.c_str());
    return 2;
  }
  std::unique_ptr<vendrix::TSandboxChild> sandbox;
  if (options.sandbox) {
    std::string problem;
    sandbox = vendrix::TSandboxChild::Start(problem);
    if (!sandbox) {
      std::fprintf(stderr, "vendrix: the sandbox could not start: %s\n", problem.c_str());
      return 1;
    }
  }
  vendrix::TBrowserEngine engine(argc, argv);
  QApplication app(engine.argc, engine.argv);
  vendrix::InstallQtTranslations(app);
  // The icon of the desktop entry, as a PNG: the installed Qt has no SVG support. The entry's
  // name ties the window to it where the window system asks (Wayland's application id).
  QApplication::setWindowIcon(QIcon(":/vendrix.png"));
  QGuiApplication::setDesktopFileName("net.vendrix.Vendrix");
  vendrix::TForm1 form(sandbox ? sandbox->SettingsForIt() : vendrix::Settings::Current());
  if (!options.screenshot.empty()) {
    new vendrix::TDemoCapture(&form, QString::fromStdString(options.screenshot));
  }
  form.FormCreate();
  form.show();
  return app.exec();
}
