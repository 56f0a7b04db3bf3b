// How the embedded browser runs, settled before the QApplication exists: the web view is drawn
// by Qt Quick's software renderer with no OpenGL on X11, and Chromium starts no helper process
// that the shop page does not use. Called once, first thing in main(), by the window and by
// every program that builds it (the window tests, the window benchmark).
#pragma once

namespace vendrix {

void PrepareBrowserEngine();

}  // namespace vendrix
