# The Windows package: a zip with the program, its icon and a note for the
# operator. Only the program is built for it:
#   cmake --build build-windows --target tarnholm && cd build-windows && cpack
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS tarnholm RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/app/app.ico DESTINATION .)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows-readme.txt DESTINATION . RENAME README.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tarnholm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tarnholm-${CPACK_PACKAGE_VERSION}-win64)
include(CPack)
