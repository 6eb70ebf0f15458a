# The programs' resources: icon, version information and manifest.
set(TARNHOLM_PRODUCT_NAME "Ostrel Quorvia Camera Update Tool")
set(TARNHOLM_COMPANY_NAME "(company name)" CACHE STRING
    "CompanyName of the programs and Publisher of the installer; a release sets it")
enable_language(RC)
string(REPLACE "." "," RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(RC_ICON ${PROJECT_SOURCE_DIR}/app/app.ico)
set(RC_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/windows.manifest)
foreach(RC_PROGRAM tarnholm tarnholm-demo)
    if(RC_PROGRAM STREQUAL "tarnholm")
        set(RC_DESCRIPTION "${TARNHOLM_PRODUCT_NAME}")
    else()
        set(RC_DESCRIPTION "${TARNHOLM_PRODUCT_NAME} (demo on simulated cameras)")
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${RC_PROGRAM}.rc)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/windows.rc.in ${rc} @ONLY)
    target_sources(${RC_PROGRAM} PRIVATE ${rc})
    # The script brings its own manifest; MSVC's linker would add a second one.
    if(MSVC)
        target_link_options(${RC_PROGRAM} PRIVATE /MANIFEST:NO)
    endif()
    # windres does not see what the script pulls in.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${RC_ICON};${RC_MANIFEST}")
endforeach()

# The Windows packages: a zip and a setup program, each with the program, its
# icon and a note for the operator. Only the program is built for them:
#   cmake --build build-windows --target tarnholm && cd build-windows && cpack
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS tarnholm RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/app/app.ico DESTINATION .)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows-readme.txt DESTINATION . RENAME README.txt)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME tarnholm)
set(CPACK_PACKAGE_VENDOR "${TARNHOLM_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tarnholm-${CPACK_PACKAGE_VERSION}-win64)
# The setup program takes "-setup" (packaging/windows-cpack.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/windows-cpack.cmake)
# packaging/nsis/NSIS.template.in: a 64-bit, all-users setup.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/nsis)
set(CPACK_NSIS_DISPLAY_NAME "${TARNHOLM_PRODUCT_NAME}")
set(CPACK_NSIS_PACKAGE_NAME "${TARNHOLM_PRODUCT_NAME}")
# Program Files\Tarnholm; one uninstall entry whatever the version.
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tarnholm)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tarnholm)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${CMAKE_CURRENT_SOURCE_DIR}/app/app.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_CURRENT_SOURCE_DIR}/app/app.ico)
include(CPack)
