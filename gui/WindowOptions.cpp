#include "gui/WindowOptions.h"

#include <algorithm>
#include <string_view>

namespace vendrix {
namespace {

// Qt's own options (QGuiApplication, QApplication, the X11 platform), with or without a value.
constexpr std::string_view kQtWithValue[] = {"platform",
                                             "platformpluginpath",
                                             "platformtheme",
                                             "plugin",
                                             "qwindowgeometry",
                                             "qwindowtitle",
                                             "qwindowicon",
                                             "session",
                                             "display",
                                             "geometry",
                                             "style",
                                             "stylesheet",
                                             "name",
                                             "title",
                                             "visual",
                                             "font",
                                             "fn",
                                             "background",
                                             "bg",
                                             "foreground",
                                             "fg",
                                             "button",
                                             "btn",
                                             "im",
                                             "inputstyle",
                                             "ncols",
                                             "cmap"};
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb",
                                         "dograb",  "sync",        "qmljsdebugger"};

}  // namespace

const char* WindowUsage() {
  return "usage: vendrix [--sandbox] [--screenshot FILE] [Qt options]\n"
         "       vendrix --help | --version\n"
         "  --sandbox          start vendrix-sandbox on a free port and use it instead of the\n"
         "                     vendor server and the platform; it stops with the window\n"
         "  --screenshot FILE  wait for the first shop page, save a picture of the window to\n"
         "                     FILE, print the sellers and end\n"
         "  Qt options such as -platform NAME, -style NAME or -display DISPLAY pass to Qt;\n"
         "  everything after --webEngineArgs passes to Qt WebEngine.\n"
         "See vendrix(1); settings come from VENDRIX_VENDOR_BASE, VENDRIX_GATEWAY,\n"
         "VENDRIX_SHOP_LOGO and VENDRIX_RANK_PICS.\n";
}

WindowOptions ParseWindowOptions(int argc, char** argv) {
  WindowOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--sandbox") {
      options.sandbox = true;
    } else if (arg == "--screenshot") {
      if (i + 1 >= argc) {
        options.problem = "--screenshot needs a FILE";
        return options;
      }
      options.screenshot = argv[++i];
    } else if (arg == "--webEngineArgs") {
      break;  // the rest is Qt WebEngine's
    } else if (arg.starts_with("-") && arg.size() > 1) {
      // Qt takes its options with one dash or two, and a value after "=" or as the next word.
      std::string_view name = arg.substr(arg.starts_with("--") ? 2 : 1);
      std::string_view bare = name.substr(0, name.find('='));
      bool with_value = std::find(std::begin(kQtWithValue), std::end(kQtWithValue), bare) !=
                        std::end(kQtWithValue);
      bool flag = std::find(std::begin(kQtFlags), std::end(kQtFlags), bare) != std::end(kQtFlags);
      if (!with_value && !flag) {
        options.problem = "unknown option '" + std::string(arg) + "'";
        return options;
      }
      if (with_value && bare == name) ++i;  // the value is the next word
    } else {
      options.problem = "unexpected argument '" + std::string(arg) + "'";
      return options;
    }
  }
  return options;
}

}  // namespace vendrix
