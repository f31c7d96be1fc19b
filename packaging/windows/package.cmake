# Windows: both programs beside each other at the top of the ZIP (copy kelto.exe into the
# server's folder, or make a shortcut with the path), and an NSIS installer with a
# Start-menu entry and an uninstaller. Qt is linked in statically, so Qt's licence goes
# with Kelto's.
install(TARGETS kelto kelto-cli RUNTIME DESTINATION .)

set(qt_licence ${CMAKE_CURRENT_BINARY_DIR}/QT-LICENSE.txt)
file(WRITE ${qt_licence}
"Kelto for Windows contains Qt ${Qt6_VERSION} (qtbase), linked statically.

Qt is built from Debian's qt6-base source package, version 6.4.2+dfsg-10
(\"apt-get source qt6-base\" on Debian 12), with the patch
debian/patches/cve-2023-32763.diff of that package; scripts/windows-qt in Kelto's source
builds it. Qt is licensed under the GNU Lesser General Public License version 3 (below)
or the GNU General Public License version 2 or 3; its bundled libraries under the
licences listed in Debian's copyright file of Qt, which follows.

")
file(READ /usr/share/doc/libqt6core6/copyright debian_copyright)
file(READ /usr/share/common-licenses/LGPL-3 lgpl)
file(APPEND ${qt_licence} "${debian_copyright}\n\n==== GNU Lesser General Public License, version 3 ====\n\n${lgpl}")
# The IEEE registry's vendor lists of the build machine's ieee-data package, in the folder
# ieee-data beside the programs, where they look first: Windows has no package of them.
# The ZIP and the installer compress them (13 MB of text to about 2 MB).
set(KELTO_IEEE_DATA /usr/share/ieee-data CACHE PATH "The IEEE registry lists that the Windows packages ship")
foreach(list oui.csv mam.csv oui36.csv iab.csv .lastupdate)
    if(NOT EXISTS ${KELTO_IEEE_DATA}/${list})
        message(FATAL_ERROR "${KELTO_IEEE_DATA}/${list} is missing: install ieee-data (scripts/install-deps)")
    endif()
    install(FILES ${KELTO_IEEE_DATA}/${list} DESTINATION ieee-data)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/windows/README.txt DESTINATION .)
install(FILES ${qt_licence} DESTINATION .)

set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_PACKAGE_NAME Kelto)
set(CPACK_PACKAGE_VENDOR "The Kelto developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Host table and lookup for a DHCP server's dhcpsrv.ini")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kelto)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MUI_ICON ${CMAKE_CURRENT_SOURCE_DIR}/windows/kelto.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_CURRENT_SOURCE_DIR}/windows/kelto.ico)
# Kelto's own installer script (windows/NSIS.template.in): the page for the server's file,
# the PATH, and no installer-maker branding.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR}/windows)
# The file names, one per generator.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/windows/package-names.cmake)
include(CPack)
