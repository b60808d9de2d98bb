# Read by cpack as it runs: a Debian package whose dependencies cannot be
# worked out is refused rather than built without them.
if(CPACK_GENERATOR STREQUAL "DEB")
    find_program(ZARV_FILE_PROGRAM file)
    find_program(ZARV_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
    if(NOT ZARV_FILE_PROGRAM OR NOT ZARV_SHLIBDEPS_PROGRAM)
        message(FATAL_ERROR "zarv: the package's dependencies are worked out with 'file' and "
                            "'dpkg-shlibdeps'; install them (sudo apt-get install file dpkg-dev) "
                            "or run 'make package', which does.")
    endif()
endif()
