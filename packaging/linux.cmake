# Installation and the Debian package of the Linux programs.
include(GNUInstallDirs)
# Installing (and packaging) needs only the two programs, not every test:
# build them first (scripts/linux-package.sh does).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

# The window reads "app.ico" from the working folder: it is installed in the
# program's data folder, and the menu entry starts the program there.
set(TARNHOLM_BIN ${CMAKE_INSTALL_FULL_BINDIR})
set(TARNHOLM_DATA ${CMAKE_INSTALL_FULL_DATADIR}/tarnholm)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tarnholm.desktop.in
               ${CMAKE_CURRENT_BINARY_DIR}/tarnholm.desktop @ONLY)

install(TARGETS tarnholm tarnholm-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/app/app.ico DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnholm)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tarnholm.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnholm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware update tool for Ostrel USB cameras")
set(CPACK_PACKAGE_CONTACT "Tarnholm maintainers <maintainers@tarnholm.invalid>")
# The paths written into the menu entry are the ones the package installs to.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Library dependencies (Qt, libudev) come from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The camera vendor's library is not packaged: the operator installs it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "systemd")
include(CPack)
