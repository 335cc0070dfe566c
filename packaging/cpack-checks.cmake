# Read by cpack before it builds each package. Without dpkg-shlibdeps (package dpkg-dev)
# cpack would still build the .deb, silently without a Depends field: stop instead.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(FENK_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT FENK_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "cpack -G DEB needs dpkg-shlibdeps to work out the package's "
                        "dependencies: install the Debian package dpkg-dev")
  endif()
endif()
