#include "gui/BrowserEngine.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QString>

namespace vendrix {
namespace {

// Chromium keeps a second zygote for helpers that run outside its sandbox; Qt WebEngine runs
// those (network, GPU) as threads of the window's process, so that zygote would only hold
// about 50 MiB and delay the start by its launch. Unlike --no-zygote, this works with the
// sandbox on.
constexpr char kChromiumSwitch[] = "--no-unsandboxed-zygote";
// Qt WebEngine takes Chromium's switches from the program's arguments after this one, unless
// QTWEBENGINE_CHROMIUM_FLAGS is set: then from that alone.
constexpr char kEngineArguments[] = "--webEngineArgs";
constexpr char kChromiumFlags[] = "QTWEBENGINE_CHROMIUM_FLAGS";

QtMessageHandler previous_handler = nullptr;

// Written once, by the engine made before the QApplication, while no other thread exists.
std::vector<std::string>& UserValues() {
  static std::vector<std::string> values;
  return values;
}

// Without OpenGL, the X11 platform and Qt WebEngine each say so as they start, in notices of no
// category of their own. The window draws without OpenGL by design; they would only puzzle.
void DropNoOpenGlNotices(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  QString notice = text.trimmed();
  if (notice == QLatin1String("No suitable graphics backend found") ||
      notice == QLatin1String("QXcbIntegration: Cannot create platform OpenGL context, neither "
                              "GLX nor EGL are enabled")) {
    return;
  }
  if (previous_handler) previous_handler(type, context, text);
}

}  // namespace

TBrowserEngine::TBrowserEngine(int program_argc, char** program_argv) {
  bool user_renderer = qEnvironmentVariableIsSet("QT_QUICK_BACKEND");
  if (!user_renderer) {
    // Chromium composites the page in software (Qt WebEngine turns its GPU use off under this
    // renderer) and Qt Quick shows the result as an image: a page of text and 60 pictures
    // needs no more, and no OpenGL driver gets loaded. Where there is no GPU (Xvfb, most
    // virtual machines) that driver is Mesa's llvmpipe with LLVM: 70 MiB, and a good part of
    // the start.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Qt WebEngine still makes a shared OpenGL context as the application starts, used or
    // not; without an OpenGL integration the X11 platform does not make it. Nothing else in
    // the window draws with OpenGL.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
      qputenv("QT_XCB_GL_INTEGRATION", "none");
      UserValues().emplace_back("QT_XCB_GL_INTEGRATION");
    }
    // The engine's report of the OpenGL it does not get; a user's QT_LOGGING_RULES still
    // turns it back on.
    QLoggingCategory::setFilterRules("qt.webenginecontext.info=false");
    previous_handler = qInstallMessageHandler(DropNoOpenGlNotices);
  }

  for (int i = 0; i < program_argc; ++i) arguments_.emplace_back(program_argv[i]);
  if (qEnvironmentVariableIsSet(kChromiumFlags)) {
    // The user's own switches; the engine reads these and ignores the arguments.
    QByteArray user_flags = qgetenv(kChromiumFlags);
    if (!user_flags.contains(kChromiumSwitch)) {
      qputenv(kChromiumFlags, user_flags.isEmpty() ? QByteArray(kChromiumSwitch)
                                                   : user_flags + ' ' + kChromiumSwitch);
      UserValues().push_back(std::string(kChromiumFlags) + "=" + user_flags.toStdString());
    }
  } else {
    bool has_engine_arguments = false;
    for (const std::string& argument : arguments_) {
      has_engine_arguments = has_engine_arguments || argument == kEngineArguments;
    }
    if (!has_engine_arguments) arguments_.emplace_back(kEngineArguments);
    arguments_.emplace_back(kChromiumSwitch);
  }
  for (std::string& argument : arguments_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
  argc = static_cast<int>(arguments_.size());
  argv = pointers_.data();
}

const std::vector<std::string>& TBrowserEngine::UserEnvironment() { return UserValues(); }

}  // namespace vendrix
