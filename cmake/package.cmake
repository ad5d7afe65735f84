# Installing the game where a Debian system expects a game's parts, and its Debian package
# (cpack -G DEB in the build folder, or ./build.sh package).
#
#   <prefix>/games/asphaltix                      the program
#   <prefix>/share/games/asphaltix/               its nine data files
#   <prefix>/share/applications, metainfo         the desktop entry, the AppStream metadata
#   <prefix>/share/icons/hicolor/NxN/apps         the icon
#   <prefix>/share/man/man6/asphaltix.6.gz        the manual page
#   <prefix>/share/doc/asphaltix/                 the copyright file and the changelog
include(GNUInstallDirs)
set(ASPHALTIX_INSTALL_BINDIR "games" CACHE STRING "Where the program goes, under the prefix")
set(ASPHALTIX_INSTALL_DATADIR "${CMAKE_INSTALL_DATAROOTDIR}/games/asphaltix"
    CACHE STRING "Where its data files go, under the prefix")
set(APP_ID io.github.asphaltix.Asphaltix)

# The program finds its data from its own place, so that an install under any prefix works.
file(RELATIVE_PATH data_from_bin "/${ASPHALTIX_INSTALL_BINDIR}" "/${ASPHALTIX_INSTALL_DATADIR}")
target_compile_definitions(asphaltix PRIVATE ASPHALTIX_DATA_FROM_BIN="${data_from_bin}")

# Compressed as Debian wants them, without a time stamp so that builds are reproducible.
set(DIST_DIR ${CMAKE_BINARY_DIR}/dist)
add_custom_command(OUTPUT ${DIST_DIR}/asphaltix.6.gz ${DIST_DIR}/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DIST_DIR}
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/dist/asphaltix.6 > ${DIST_DIR}/asphaltix.6.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/dist/changelog > ${DIST_DIR}/changelog.Debian.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/dist/asphaltix.6 ${CMAKE_SOURCE_DIR}/dist/changelog)
add_custom_target(dist_files ALL DEPENDS ${DIST_DIR}/asphaltix.6.gz ${DIST_DIR}/changelog.Debian.gz)

install(TARGETS asphaltix RUNTIME DESTINATION ${ASPHALTIX_INSTALL_BINDIR})
install(FILES ${GAME_DATA} ${GAME_SOUNDS} DESTINATION ${ASPHALTIX_INSTALL_DATADIR})
install(FILES dist/${APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES dist/${APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
foreach(size ${ICON_SIZES})
  install(FILES ${ICON_DIR}/asphaltix-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
          RENAME asphaltix.png)
endforeach()
install(FILES ${DIST_DIR}/asphaltix.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES dist/copyright ${DIST_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/asphaltix)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME asphaltix)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Asphaltix authors <asphaltix@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/asphaltix/asphaltix")
# The libraries it needs are read off the program by dpkg-shlibdeps; SDL shows its message
# boxes with zenity, which no library link shows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS zenity)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade driving game against the clock")
# The long description; CPack indents it and marks the empty line between its paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Asphaltix is a small full-screen arcade driving game of the late nineties.
Drive up an endless two-carriageway road, collect time and energy bonuses,
and bump the traffic for points before the clock runs out.

It plays with the keyboard or a game controller, full screen or in a
window, with a sharp picture at any size.")
include(CPack)
