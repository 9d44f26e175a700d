# The Debian package: "cpack -G DEB" in a build folder (scripts/package.sh configures, builds and
# packs in one go). Its dependencies are read from the program by dpkg-shlibdeps (dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marlit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Marlit developers")
set(CPACK_PACKAGE_CONTACT "The Marlit developers <marlit@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast desktop front-end for emulators")
set(CPACK_PACKAGE_DESCRIPTION
  "Marlit shows your emulated systems in four category tabs (Classic, Console,
Handheld and Computer), browses a system's ROM folders and files with a search
or a filter, shows up to two snapshot pictures of the selected ROM, and starts
the system's emulator on it. Collections of tens of thousands of ROMs stay
instant, and the catalogues of systems are plain-text files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/marlit/marlit)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG plugins that draw the icon come with libqt6svg6, which dpkg-shlibdeps names already:
# the options dialog's logo links the library itself.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dosbox")
set(CPACK_STRIP_FILES ON)
# Directories as Debian has them, whatever the umask of the one who packs.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
