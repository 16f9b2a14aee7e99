# The manual page, the AppStream metadata and the Debian package.
# Included from the top-level list after the program and the engine exist.

set(LW_APP_ID io.github.lanternwright.Lanternwright)

# The manual page is plain roff; the build only fills in the version and the
# engine's place, and compresses it as Debian wants manual pages.
file(RELATIVE_PATH LW_ENGINE_LIBDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/lanternwright)
configure_file(${CMAKE_CURRENT_LIST_DIR}/man/lanternwright.1 ${CMAKE_BINARY_DIR}/man/lanternwright.1 @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/man/lanternwright.1.gz
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/man/lanternwright.1 > ${CMAKE_BINARY_DIR}/man/lanternwright.1.gz
  DEPENDS ${CMAKE_BINARY_DIR}/man/lanternwright.1
  VERBATIM)
add_custom_target(manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/man/lanternwright.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/lanternwright.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The console program is on the same page: "man lanternwright-cli" finds it
# through a link.
file(CREATE_LINK lanternwright.1.gz ${CMAKE_BINARY_DIR}/man/lanternwright-cli.1.gz SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/man/lanternwright-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${LW_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# cpack -G DEB in the build directory makes lanternwright_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME lanternwright)
set(CPACK_PACKAGE_VENDOR "Lanternwright")
set(CPACK_PACKAGE_CONTACT "Lanternwright developers <dev@lanternwright.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "package Thief fan missions for every FM loader")
# Lines of the extended description as dpkg shows them, at most 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [=[
Lanternwright is a desktop program for people who build fan missions (FMs)
for Thief, Thief 2 and Thief 2x. It keeps the FM's file list, edits the FM's
and each mission's names per language and the mission flags, writes the
game's string files, makes and edits the FM's info file (plain text or RTF),
and packs every listed file into one zip archive that every FM loader
installs. Checking, packing and info file conversion also run from the
command line, with lanternwright-cli on machines without a display.]=])
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/lanternwright/lanternwright")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the program and the engine link; Qt's own
# package brings the X11 platform plugin. Pictures in info files may come in
# formats only Qt's extra image plugins read.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
