// The window's command line, read before any window system is touched: --help, --version,
// --sandbox, --screenshot FILE, and Qt's own options, which pass through to the QApplication.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

struct WindowOptions {
  bool help = false;
  bool version = false;
  bool sandbox = false;    // start vendrix-sandbox and point the window at it
  std::string screenshot;  // the demo: save the first shop page here and end
  std::string problem;     // set: the command line is wrong (exit 2 with the usage)
};

// Reads argv[1..]; Qt's options (-platform xcb, -style=Fusion, --webEngineArgs ...) are
// accepted and left for Qt.
WindowOptions ParseWindowOptions(int argc, char** argv);

// The usage text of `vendrix`, ending with a line break.
const char* WindowUsage();

}  // namespace vendrix
