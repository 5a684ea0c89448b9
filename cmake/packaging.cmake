# The packages users get. The Debian package is made by the source package in debian/ (see
# packaging/build_deb.sh, run by `make package`), from the install rules of hosts/qt and
# hosts/xscreensaver. The 32-bit Windows build makes the zip and the NSIS installer with its
# target windows_packages. Everything lands in build/packages when made through the Makefile.

option(LOOPSTER_PACKAGE_TESTS "Test the packages (builds the Debian package, needs makensis)" ON)

if(WIN32)
    # Windows readers expect CR LF line ends in a text file.
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/install.txt.in
        ${PROJECT_BINARY_DIR}/packaging/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
        NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/INSTALL.txt
        ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt DESTINATION .)

    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
        set(LOOPSTER_PACKAGE_DIR ${PROJECT_BINARY_DIR}/packages CACHE PATH
            "Where windows_packages puts the zip and the installer")
        add_custom_target(windows_packages
            COMMAND ${PROJECT_SOURCE_DIR}/packaging/windows/build_windows_packages.sh
                    ${PROJECT_VERSION} $<TARGET_FILE:loopster_scr>
                    ${PROJECT_BINARY_DIR}/packaging/INSTALL.txt
                    ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt ${LOOPSTER_PACKAGE_DIR}
            DEPENDS loopster_scr ${PROJECT_SOURCE_DIR}/packaging/windows/loopster.nsi
            COMMENT "Making the Windows zip and installer"
            VERBATIM)
    endif()
endif()

# The packages end to end: the Debian one built by its source package (its test also runs the
# packaged hack under the daemon), the zip and the installer from the shipped 32-bit Windows build
# (the installer under Wine).
if(LOOPSTER_TESTS AND LOOPSTER_PACKAGE_TESTS)
    if(NOT WIN32 AND LOOPSTER_QT AND CMAKE_BUILD_TYPE STREQUAL "Release")
        add_test(NAME deb_package
            COMMAND ${PROJECT_SOURCE_DIR}/packaging/deb_package_test.sh ${PROJECT_SOURCE_DIR}
                    ${PROJECT_VERSION})
        set_tests_properties(deb_package PROPERTIES TIMEOUT 1800 RUN_SERIAL TRUE)
        add_test(NAME package_version
            COMMAND ${PROJECT_SOURCE_DIR}/packaging/version_test.sh ${PROJECT_SOURCE_DIR}
                    ${PROJECT_VERSION})
    elseif(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
        add_test(NAME windows_packages
            COMMAND ${PROJECT_SOURCE_DIR}/packaging/windows/windows_packages_test.sh
                    ${PROJECT_VERSION} $<TARGET_FILE:loopster_scr>
                    ${PROJECT_BINARY_DIR}/packaging/INSTALL.txt
                    ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt ${PROJECT_BINARY_DIR}/package_test)
        set_tests_properties(windows_packages PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
    endif()
endif()
