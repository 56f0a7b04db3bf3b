// How the embedded browser runs, settled around the QApplication's creation: the web view is
// drawn by Qt Quick's software renderer with no OpenGL on X11, and Chromium starts no helper
// process that the shop page does not use. The window builds it this way:
//
//   TBrowserEngine engine(argc, argv);
//   QApplication app(engine.argc, engine.argv);
//
// The environment is changed here only, before any thread exists: once Chromium's threads run,
// changing it would race with their reads of it. The processes the window starts (the user's
// web browser) get the environment as the user set it instead (UserEnvironment). The window
// tests and the window benchmark make their QApplication the same way.
#pragma once

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

  // What the engine changed of the environment, given back as the user had it: "NAME=value"
  // for a variable the user had set, a bare "NAME" for one the user had not. Empty before an
  // engine is made. Read it from any thread once the QApplication exists.
  static const std::vector<std::string>& UserEnvironment();

  int argc = 0;
  char** argv = nullptr;

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> pointers_;
};

}  // namespace vendrix
