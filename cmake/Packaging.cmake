# Installation and packages: `cmake --install` and `cpack` (a .deb and a .tar.gz on Linux).
#
# The programs install themselves into bin/ (their own CMakeLists). Here: the files a
# program directory starts with (the default icons and the busy animation) into the data
# directory, and on Linux the desktop entry, the application icon and the AppStream metadata.
# An installed launcher keeps its program directory per user ($XDG_DATA_HOME/Ravik) and seeds
# it from <prefix>/share/ravik, which it finds as ../share/ravik from its own directory
# (catalog::DefaultProgramDirectory). On Windows an installation is a portable folder: the
# programs and their data files side by side (the windows preset installs programs into the
# prefix itself), shipped as Ravik-<version>-win64.zip with a sample launcher.ini.

set(RAVIK_RELEASE_DATE 2024-06-01)

if(WIN32)
    set(RAVIK_DATA_DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
    if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin")
        message(WARNING "CMAKE_INSTALL_BINDIR is ${CMAKE_INSTALL_BINDIR}: an installed launcher "
                        "looks for its data in ../share/ravik beside its own directory")
    endif()
    set(RAVIK_DATA_DESTINATION share/ravik)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/res/waiticon.jpg ${PROJECT_SOURCE_DIR}/res/waitbg.jpg
        DESTINATION ${RAVIK_DATA_DESTINATION})
install(FILES ${PROJECT_SOURCE_DIR}/res/demo/ToolIcon/defaultC.png
              ${PROJECT_SOURCE_DIR}/res/demo/ToolIcon/defaultD.png
              ${PROJECT_SOURCE_DIR}/res/demo/ToolIcon/defaultE.png
        DESTINATION ${RAVIK_DATA_DESTINATION}/ToolIcon)

if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/launcher.ini
            DESTINATION ${RAVIK_DATA_DESTINATION})
else()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/${RAVIK_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${RAVIK_APP_ID}.metainfo.xml
                   ${CMAKE_BINARY_DIR}/packaging/${RAVIK_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${RAVIK_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/res/icons/ravik-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${RAVIK_APP_ID}.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/res/src/app-icon.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${RAVIK_APP_ID}.svg)
endif()

# The desktop entry and the AppStream metadata are checked by the tools that read them.
if(RAVIK_BUILD_TESTS AND NOT WIN32)
    find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
    find_program(APPSTREAMCLI appstreamcli REQUIRED)
    add_test(NAME packaging_desktop_entry
             COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/packaging/${RAVIK_APP_ID}.desktop)
    add_test(NAME packaging_appstream_metadata
             COMMAND ${APPSTREAMCLI} validate --no-net
                     ${CMAKE_BINARY_DIR}/packaging/${RAVIK_APP_ID}.metainfo.xml)
endif()

set(CPACK_PACKAGE_NAME ravik)
set(CPACK_PACKAGE_VENDOR Ravik)
set(CPACK_PACKAGE_CONTACT "Ravik developers <dev@ravik.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Ravik游戏桌面: online games and game tools in one small window")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A small skinned launcher for online games and game tools. Its catalogs come from a data "
    "server; tools are downloaded, unpacked and started with a double click. Also contains "
    "ravikctl, the command-line front end, Rv_Update, the launcher's updater, and "
    "ravik-dataserver, the reference data server.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Ravik)
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME Ravik-${PROJECT_VERSION}-win64)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    set(CPACK_GENERATOR DEB TGZ)
endif()
# The .deb installs under /usr; the .tar.gz is a relocatable tree (bin/, share/).
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Used at run time without being linked, so the library scan does not see them: Qt's own
# Chinese texts (the standard buttons, the file dialog), which the launcher shows whatever
# the user's locale; a font with Chinese characters, and xdg-open, which opens web addresses
# in the browser.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, xdg-utils")
include(CPack)
