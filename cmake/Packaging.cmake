# Installation layout and the Debian package.
#
#   cmake --install build                    -> ${CMAKE_INSTALL_PREFIX} (default /usr/local)
#   cd build && cpack -G DEB                 -> kiv_<version>_<arch>.deb
#
# For a Debian package configure with -DCMAKE_INSTALL_PREFIX=/usr -DKIV_DATA_DIR=/usr/share/kiv:
# Debian packages keep out of /usr/local (scripts/package-test.sh does exactly this).

include(GNUInstallDirs)

install(TARGETS kiv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page and the desktop files name the data and documentation directories,
# so they are filled in here rather than written with fixed paths.
if(IS_ABSOLUTE "${CMAKE_INSTALL_DOCDIR}")
  set(KIV_DOCDIR "${CMAKE_INSTALL_DOCDIR}")
else()
  set(KIV_DOCDIR "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}")
endif()
configure_file(${CMAKE_SOURCE_DIR}/data/kiv.1 ${CMAKE_BINARY_DIR}/kiv.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kiv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_SOURCE_DIR}/data/kiv.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/kiv-mc.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
# The launcher icon (Icon=kiv) is the default icon under the name menus look for.
install(FILES ${CMAKE_SOURCE_DIR}/data/icona.png DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps
        RENAME kiv.png OPTIONAL)

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
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "kiv reads an mc file, a small tag-based mark-up, and builds one window from it:
labels, buttons, text boxes, check boxes, combo boxes, icon lists, file
choosers, images, text logs, tabs and layouts. Input widgets are bound to shell
variables, buttons run shell commands with those variables set, and the
commands' output is shown in the window's text logs.")
# bash runs every command; the platform plugins and the icon theme are loaded at run
# time, which the shared-library scan cannot see.
set(KIV_DEB_RUNTIME "bash, qt6-qpa-plugins, adwaita-icon-theme")
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
