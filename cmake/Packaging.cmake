# The Debian package, built by scripts/package with `cpack -G DEB` in a Release build installed
# under /usr. Its version is the project's; its Depends come from the programs' shared
# libraries through dpkg-shlibdeps (libsecret-1-0 among them, for the own account's secret).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vendrix)
set(CPACK_PACKAGE_VENDOR "Vendrix developers")
set(CPACK_PACKAGE_CONTACT "Vendrix developers <dev@vendrix.net>")
set(CPACK_PACKAGE_HOMEPAGE_URL "http://www.vendrix.net/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop shop finder for Taobao affiliates")
set(CPACK_PACKAGE_DESCRIPTION [[
Vendrix is a desktop shop finder for affiliates of the Taobao open platform:
it finds the sellers of affiliate items by category, credit level and region,
shows each seller's shop with its items, and turns every click in a shop into
an affiliate click address opened in the web browser. A local sandbox that
stands in for the vendor server and the platform comes with it, so that
Vendrix can be tried without an affiliate account.]])
# Programs stripped of symbols and of the compiler's notes, as Debian strips them.
set(CPACK_VENDRIX_STRIP ${CMAKE_STRIP})
set(CPACK_VENDRIX_BINDIR ${CMAKE_INSTALL_BINDIR})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageStrip.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own Simplified Chinese texts (buttons of message boxes, the file dialog, edit menus):
# without them those stay English in the Chinese window. A Secret Service keeps the own
# account's secret; a desktop without one gets GNOME Keyring.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wqy-microhei, qt6-translations-l10n, xdg-utils, gnome-keyring | keepassxc")
# Control files and installed directories with the modes Debian expects, whatever the umask.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
