#include "gui/BrowserEngine.h"

#include <QByteArray>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace vendrix {
namespace {

// Added to the user's own QTWEBENGINE_CHROMIUM_FLAGS. Chromium keeps a second zygote for
// helpers that run outside its sandbox; Qt WebEngine runs those (network, GPU) as threads of
// the window's process, so that zygote would only hold about 50 MiB and delay the start by its
// launch. Unlike --no-zygote, this works with the sandbox on.
constexpr char kChromiumSwitches[] = "--no-unsandboxed-zygote";

}  // namespace

void PrepareBrowserEngine() {
  // Chromium composites the page in software (Qt WebEngine turns its GPU use off under this
  // renderer) and Qt Quick shows the result as an image: a page of text and 60 pictures needs
  // no more, and no OpenGL driver gets loaded. Where there is no GPU (Xvfb, most virtual
  // machines) that driver is Mesa's llvmpipe with LLVM: 70 MiB, and a good part of the start.
  QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  // Qt WebEngine still makes a shared OpenGL context as the application starts, used or not;
  // without an OpenGL integration the X11 platform does not make it. Nothing else in the window
  // draws with OpenGL. A value the user set is kept.
  if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
    qputenv("QT_XCB_GL_INTEGRATION", "none");
  }
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (!flags.contains(kChromiumSwitches)) {
    if (!flags.isEmpty()) flags += ' ';
    flags += kChromiumSwitches;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
  }
}

}  // namespace vendrix
