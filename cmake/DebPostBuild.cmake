# Runs after cpack has written the Debian packages (CPACK_POST_BUILD_SCRIPTS). CPack gives a
# package holding a library in /usr/lib maintainer scripts that call ldconfig; the library
# package declares the ldconfig trigger instead (Debian policy 8.1.1), so those scripts are
# taken out again and the package rebuilt with the same contents.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${deb}" NAME)
  if(NOT name MATCHES "^libzarezodud[0-9]+_.*\\.deb$")
    continue()
  endif()
  set(tree "${CPACK_TOPLEVEL_DIRECTORY}/repack-${name}")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -R ${deb} failed")
  endif()
  if(NOT EXISTS "${tree}/DEBIAN/triggers")
    message(FATAL_ERROR "${name} has no ldconfig trigger; not removing its ldconfig calls")
  endif()
  file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
  execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${deb}"
                  RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -b ${tree} failed")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
