# Installing Pluvion and packing it as a Debian package (cpack -G DEB).
include(GNUInstallDirs)

# The two programs; the manual 软件说明书.pdf is installed beside them by
# tools/CMakeLists.txt, where it is rendered, because the Help menu looks for
# it in the program's own folder.
install(TARGETS pluvion pluvion-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# pluvion-cli's drawing, loaded only by a run that draws, in the package's
# private folder where the tool looks for it (../lib/pluvion from bin/).
install(TARGETS pluvion-drawing pluvion-documents LIBRARY DESTINATION lib/pluvion)

# Desktop integration: the menu entry and the icon in the hicolor theme. The
# Debian packages desktop-file-utils and hicolor-icon-theme refresh their
# caches through dpkg triggers, so the package needs no scripts of its own.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/pluvion.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/pluvion.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pluvion)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quillfen)
set(CPACK_PACKAGE_CONTACT "${PLUVION_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Chicago design storms for storm-water design")
# CPack writes each line as a line of the control file's long description.
set(CPACK_PACKAGE_DESCRIPTION [[
Pluvion (澜岑云图) builds Chicago design storms from a local storm-intensity
formula, a return period, a duration and a peak ratio: the rain intensity of
every minute, the cumulative rainfall, the total depth and the average
intensity, shown as a chart and a table. Storms are saved as small text
files; the table exports as CSV or a Word document, the chart as a picture,
and the calculation report as a Word document. The command-line tool
pluvion-cli computes and exports storms without a window.]])
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PLUVION_MAKER_URL})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian 12's runtime packages: the shared libraries the programs link, the
# platform plugins that give Qt a window (xcb, wayland, offscreen), the CJK
# fonts that the Chinese captions and the chart pictures are drawn with, Qt's
# own Chinese texts for the standard dialogs, and xdg-open, which opens the
# written files, the manual and web pages.
# Boost.Math and Eigen (the formula fit) are header-only: built in, nothing to depend on.
set(CPACK_DEBIAN_PACKAGE_DEPENDS [[
libc6 (>= 2.34),
libstdc++6 (>= 11),
libgcc-s1 (>= 3.0),
libqt6core6 (>= 6.4),
libqt6gui6 (>= 6.4),
libqt6widgets6 (>= 6.4),
libqt6network6 (>= 6.4),
libqt6printsupport6 (>= 6.4),
qt6-qpa-plugins (>= 6.4),
libqcustomplot2.1-qt6 (>= 2.1.0),
libzip4 (>= 1.0),
libpng16-16 (>= 1.6.2),
libjpeg62-turbo (>= 1.3.1),
zlib1g (>= 1:1.2.11),
fonts-noto-cjk,
qt6-translations-l10n,
xdg-utils]])
string(REPLACE "\n" " " CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
string(STRIP "${CPACK_DEBIAN_PACKAGE_DEPENDS}" CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)

if(PLUVION_BUILD_TESTS)
  # Installs into a staging folder and starts the installed programs there.
  add_test(NAME InstalledPrograms
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/InstalledPrograms.sh
      ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR})
  set_tests_properties(InstalledPrograms PROPERTIES TIMEOUT 120)

  add_test(NAME DesktopEntry
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/DesktopEntry.sh
      ${PROJECT_SOURCE_DIR}/packaging/pluvion.desktop)
  set_tests_properties(DesktopEntry PROPERTIES SKIP_RETURN_CODE 77)
endif()
