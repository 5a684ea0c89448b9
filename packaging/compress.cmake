# Runs in CPack's staging tree before the Debian package is made: compresses the manual pages and
# the changelog as Debian wants them (gzip -9, no name or time stamp, so builds are reproducible).
file(GLOB_RECURSE pages
    "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*"
    "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/loopster/changelog")
foreach(page IN LISTS pages)
    if(NOT page MATCHES "\\.gz$")
        execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "gzip ${page} failed")
        endif()
    endif()
endforeach()
