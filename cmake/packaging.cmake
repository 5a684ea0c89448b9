# The packages, made by CPack with the version of the project: on Linux a Debian package of the
# saver and the xscreensaver hack, from the Windows builds a zip of loopster.scr with a short text
# on installing it. `make package` builds both into build/packages.
set(CPACK_PACKAGE_NAME loopster)
set(CPACK_PACKAGE_VENDOR "loopster maintainers")
set(CPACK_PACKAGE_CONTACT "loopster maintainers <maintainers@users.noreply.c-seed-ceea9435.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "spirograph screen saver")

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "loopster-${PROJECT_VERSION}-windows")
    # Windows readers expect CR LF line ends in a text file.
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-install.txt.in
        ${PROJECT_BINARY_DIR}/packaging/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/INSTALL.txt DESTINATION .)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_STRIP_FILES ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION x11)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_ENHANCES xscreensaver)
    # Qt's Wayland platform plugin lives in a package of its own. Recommended rather than required:
    # an X11 desktop never loads it, and apt installs what is recommended unless told otherwise.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    # CPack puts the summary first and indents these lines by one blank.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
loopster fills the screen with one closed roulette curve, the path of a pen on
a gear rolling inside or outside a fixed gear, that morphs smoothly from
pattern to pattern while its colour walks along a gradient.
.
The package holds the saver (loopster /s, with its settings dialog
loopster /c) and a display mode for the xscreensaver daemon.")

    # Debian keeps a package's copyright and changelog beside each other, the changelog and the
    # manual pages compressed; the compressing is done in the staging tree (see
    # packaging/compress.cmake) so that `cmake --install` still lays out plain pages.
    include(GNUInstallDirs)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
        ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
        ${PROJECT_BINARY_DIR}/packaging/changelog
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
    set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/compress.cmake)
endif()

include(CPack)

# The packages end to end: the Debian one from the build that ships it (its test also runs the
# packaged hack under the daemon), the zip from the shipped 32-bit Windows build.
if(LOOPSTER_TESTS)
    if(NOT WIN32 AND LOOPSTER_QT AND CMAKE_BUILD_TYPE STREQUAL "Release")
        add_test(NAME deb_package
            COMMAND ${PROJECT_SOURCE_DIR}/packaging/deb_package_test.sh ${PROJECT_BINARY_DIR})
        set_tests_properties(deb_package PROPERTIES TIMEOUT 300)
    elseif(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
        add_test(NAME windows_zip
            COMMAND ${PROJECT_SOURCE_DIR}/packaging/windows_zip_test.sh ${PROJECT_BINARY_DIR}
                    $<TARGET_FILE:loopster_scr>)
    endif()
endif()
