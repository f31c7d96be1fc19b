# Read by cpack for each generator: the ZIP is the portable Kelto, NSIS the installer.
if(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_PACKAGE_FILE_NAME "kelto-${CPACK_PACKAGE_VERSION}-windows-x64-portable")
else()
    set(CPACK_PACKAGE_FILE_NAME "kelto-${CPACK_PACKAGE_VERSION}-windows-x64-setup")
endif()
