# Installation layout and the Debian package.
#
#   cmake --install build                    -> ${CMAKE_INSTALL_PREFIX} (default /usr/local)
#   cd build && cpack -G DEB                 -> kiv_<version>_<arch>.deb
#
# For a Debian package configure with -DCMAKE_INSTALL_PREFIX=/usr -DKIV_DATA_DIR=/usr/share/kiv:
# Debian packages keep out of /usr/local (scripts/package-test.sh does exactly this).

include(GNUInstallDirs)

install(TARGETS kiv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (the package, cmake --install --strip) also drops the compiler's
# notes, as Debian's own packaging does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kiv\")
  endif()")

# The release, its version and date, comes from data/changelog, which the package
# also ships: the manual page and the AppStream metadata take their date from it.
file(STRINGS ${CMAKE_SOURCE_DIR}/data/changelog KIV_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT KIV_CHANGELOG_TOP MATCHES "^kiv \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/changelog begins with '${KIV_CHANGELOG_TOP}': its first entry must be "
                      "version ${PROJECT_VERSION}, the project's version")
endif()
file(STRINGS ${CMAKE_SOURCE_DIR}/data/changelog KIV_CHANGELOG_SIGNATURE REGEX "^ -- " LIMIT_COUNT 1)
if(NOT KIV_CHANGELOG_SIGNATURE MATCHES ", ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "data/changelog: no date in the first entry's signature line")
endif()
set(KIV_DAY "${CMAKE_MATCH_1}")
set(KIV_YEAR "${CMAKE_MATCH_3}")
set(KIV_MONTHS Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND KIV_MONTHS "${CMAKE_MATCH_2}" KIV_MONTH)
math(EXPR KIV_MONTH "${KIV_MONTH} + 1")
string(REGEX REPLACE "^([0-9])$" "0\\1" KIV_MONTH "${KIV_MONTH}")
string(REGEX REPLACE "^([0-9])$" "0\\1" KIV_DAY "${KIV_DAY}")
set(KIV_RELEASE_DATE "${KIV_YEAR}-${KIV_MONTH}-${KIV_DAY}")

# Manual page and changelog are installed compressed, as Debian wants them; -n keeps
# the name and time out of the gzip header, so equal builds give equal files.
function(kiv_gzip source target)
  execute_process(COMMAND gzip -9 -n -c "${source}" OUTPUT_FILE "${target}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
endfunction()

# The manual page and the desktop files name the data and documentation directories,
# so they are filled in here rather than written with fixed paths.
if(IS_ABSOLUTE "${CMAKE_INSTALL_DOCDIR}")
  set(KIV_DOCDIR "${CMAKE_INSTALL_DOCDIR}")
else()
  set(KIV_DOCDIR "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}")
endif()
configure_file(${CMAKE_SOURCE_DIR}/data/kiv.1 ${CMAKE_BINARY_DIR}/kiv.1 @ONLY)
kiv_gzip(${CMAKE_BINARY_DIR}/kiv.1 ${CMAKE_BINARY_DIR}/kiv.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/kiv.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Re-configure (and so re-compress) whenever the changelog changes.
configure_file(${CMAKE_SOURCE_DIR}/data/changelog ${CMAKE_BINARY_DIR}/changelog COPYONLY)
kiv_gzip(${CMAKE_BINARY_DIR}/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/data/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${CMAKE_SOURCE_DIR}/data/kiv.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/kiv-mc.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
configure_file(${CMAKE_SOURCE_DIR}/data/org.example.kiv.metainfo.xml
               ${CMAKE_BINARY_DIR}/org.example.kiv.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.example.kiv.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The menu icon (Icon=kiv): the drawing, and the default icon as its 64-pixel picture.
install(FILES ${CMAKE_SOURCE_DIR}/data/icona.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME kiv.svg)
install(FILES ${CMAKE_SOURCE_DIR}/data/icona.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME kiv.png)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        FILES_MATCHING PATTERN "*.mc" PATTERN "*.md")
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/guide.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} OPTIONAL)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR}
        FILES_MATCHING PATTERN "*.png")

# ---- Debian package -------------------------------------------------------------------

set(CPACK_PACKAGE_NAME kiv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kiv developers")
set(CPACK_PACKAGE_CONTACT "kiv developers <kiv@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop forms for shell scripts")
set(CPACK_GENERATOR DEB)
# The package installs where the build was configured to install, so the data
# directory compiled into the binary and the paths in the maintainer scripts agree.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
# The data directory is an absolute install destination: stage through DESTDIR so it
# lands in the package, not on the build machine.
set(CPACK_SET_DESTDIR ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package ships the binary without its debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "kiv reads an mc file, a small tag-based mark-up, and builds one window from it:
labels, buttons, text boxes, check boxes, combo boxes, icon lists, file
choosers, images, text logs, tabs and layouts. Input widgets are bound to shell
variables, buttons run shell commands with those variables set, and the
commands' output is shown in the window's text logs.")
# The X11 platform plugin and the icon theme are loaded at run time, which the
# shared-library scan cannot see. bash, which runs every command, is essential and
# so goes unnamed. Wayland's platform plugin is recommended, for Wayland sessions.
set(KIV_DEB_RUNTIME "qt6-qpa-plugins, adwaita-icon-theme")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
find_program(KIV_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KIV_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${KIV_DEB_RUNTIME}")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libc6, libstdc++6, ${KIV_DEB_RUNTIME}")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "imagemagick, xdg-utils")

# Maintainer scripts: refresh the mime and desktop databases so that *.mc files open
# with kiv. Debian's triggers usually do this as well; running it here also covers
# prefixes that no trigger watches.
set(KIV_DEB_DATADIR "${CMAKE_INSTALL_FULL_DATADIR}")
set(KIV_DEB_REFRESH [=[
if command -v update-mime-database >/dev/null 2>&1; then
    update-mime-database "@KIV_DEB_DATADIR@/mime" || true
fi
if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database -q "@KIV_DEB_DATADIR@/applications" || true
fi
]=])
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian/postinst @ONLY CONTENT "#!/bin/sh
set -e
if [ \"$1\" = configure ]; then
${KIV_DEB_REFRESH}fi
")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian/postrm @ONLY CONTENT "#!/bin/sh
set -e
if [ \"$1\" = remove ] || [ \"$1\" = purge ]; then
${KIV_DEB_REFRESH}fi
")
file(CHMOD ${CMAKE_BINARY_DIR}/debian/postinst ${CMAKE_BINARY_DIR}/debian/postrm
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_BINARY_DIR}/debian/postinst;${CMAKE_BINARY_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
