# Read by cpack once per package kind: the setup program is named apart
# from the zip, tarnholm-<version>-win64-setup.exe.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
