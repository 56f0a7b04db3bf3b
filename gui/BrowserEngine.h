// How the embedded browser runs, settled around the QApplication's creation: the web view is
// drawn by Qt Quick's software renderer with no OpenGL on X11, and Chromium starts no helper
// process that the shop page does not use. The window builds it this way:
//
//   TBrowserEngine engine(argc, argv);
//   QApplication app(engine.argc, engine.argv);
//   TForm1 form;
//   form.FormCreate();
//   engine.WindowCreated();
//
// From then on nothing of it reaches the processes the window starts (the user's web browser).
// The window tests and the window benchmark make their QApplication the same way; they start
// no web browser, and keep the settings to the end.
#pragma once

#include <QByteArray>
#include <string>
#include <vector>

namespace vendrix {

class TBrowserEngine {
 public:
  // Before the QApplication exists. `argc` and `argv` are the program's; the ones to give the
  // QApplication, which carry the engine's switches too, stay valid while this object lives.
  TBrowserEngine(int argc, char** argv);
  TBrowserEngine(const TBrowserEngine&) = delete;
  TBrowserEngine& operator=(const TBrowserEngine&) = delete;

  // Once the window has started (its web view has shown a page): gives the environment back
  // as the user set it.
  void WindowCreated();

  int argc = 0;
  char** argv = nullptr;

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> pointers_;
  bool set_gl_integration_ = false;
  bool set_chromium_flags_ = false;
  QByteArray user_chromium_flags_;
};

}  // namespace vendrix
