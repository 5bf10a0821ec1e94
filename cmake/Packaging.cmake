# cmake --install: CMake package (find_package(Zarezodud) -> Zarezodud::zarezodud),
# pkg-config file, the command with its manual page, bash completion and systemd units.
# cpack -G DEB makes three Debian packages, one per install component:
#   libzarezodud1     (runtime)      the shared library
#   libzarezodud-dev  (development)  public headers, the .so link, CMake package, pkg-config file
#   zarezodud         (command)      the command, manual page, bash completion, systemd units
include(CMakePackageConfigHelpers)
set(ZAREZODUD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zarezodud)
install(EXPORT ZarezodudTargets NAMESPACE Zarezodud:: DESTINATION ${ZAREZODUD_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/ZarezodudConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfig.cmake INSTALL_DESTINATION ${ZAREZODUD_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfigVersion.cmake
        DESTINATION ${ZAREZODUD_CMAKE_DIR} COMPONENT development)
# The pkg-config file finds its prefix relative to its own directory, so that the same file
# serves cmake --install into any prefix and the Debian package (installed under /usr).
file(RELATIVE_PATH ZAREZODUD_PC_PREFIX_REL "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/zarezodud.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/zarezodud.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zarezodud.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)

set(ZAREZODUD_DEB_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian)
if(ZAREZODUD_BUILD_CLI)
  # systemd units of the maintenance jobs (the daily dump sweep).
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/packaging/systemd/
          DESTINATION lib/systemd/system COMPONENT command
          FILES_MATCHING PATTERN "*.service" PATTERN "*.timer")
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/bash-completion/zarezodud
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT command)
  if(TARGET zarezodud_manpage)
    install(FILES ${ZAREZODUD_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT command)
  endif()
endif()

# Debian wants a copyright file and a compressed changelog in /usr/share/doc/<package>/.
set(ZAREZODUD_CHANGELOG_GZ ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${ZAREZODUD_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/debian
  COMMAND gzip -9n -c ${ZAREZODUD_DEB_DIR}/changelog > ${ZAREZODUD_CHANGELOG_GZ}
  DEPENDS ${ZAREZODUD_DEB_DIR}/changelog VERBATIM)
add_custom_target(zarezodud_changelog ALL DEPENDS ${ZAREZODUD_CHANGELOG_GZ})
foreach(pair "runtime;libzarezodud1" "development;libzarezodud-dev" "command;zarezodud")
  list(GET pair 0 component)
  list(GET pair 1 package)
  if(component STREQUAL "command" AND NOT ZAREZODUD_BUILD_CLI)
    continue()
  endif()
  install(FILES ${ZAREZODUD_DEB_DIR}/copyright ${ZAREZODUD_CHANGELOG_GZ}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME zarezodud)
set(CPACK_PACKAGE_VENDOR "Zarezodud Maintainers")
set(CPACK_PACKAGE_CONTACT "Zarezodud Maintainers <maintainers@zarezodud.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zarezodud Maintainers <maintainers@zarezodud.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zarezodud.org/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(ZAREZODUD_BUILD_CLI)
  list(APPEND CPACK_COMPONENTS_ALL command)
endif()
# Binaries are stripped; dependencies come from the binaries (dpkg-shlibdeps), the library's
# own from the shlibs file its package declares (with the ldconfig trigger CPack adds for it).
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_CURRENT_BINARY_DIR}/src)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzarezodud1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzarezodud-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_COMMAND_PACKAGE_NAME zarezodud)
set(CPACK_DEBIAN_COMMAND_PACKAGE_SECTION database)
# The ODBC driver that works out of the box on Debian; the vendor's own driver works as well.
set(CPACK_DEBIAN_COMMAND_PACKAGE_RECOMMENDS "tdsodbc")
# The library package refreshes the loader cache through the ldconfig trigger, not through
# maintainer scripts (cmake/DebPostBuild.cmake takes out the ones CPack writes).
configure_file(${ZAREZODUD_DEB_DIR}/libzarezodud1.triggers ${CMAKE_CURRENT_BINARY_DIR}/debian/triggers COPYONLY)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/DebPostBuild.cmake)

set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "shared library")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
"database-upgrade engine for Microsoft SQL Server catalogues - library
The zarezodud engine validates and runs upgrade phases of a product's
Microsoft SQL Server catalogue: lists of SQL scripts, batch files and
executables chosen by the release being upgraded from. A failed or
interrupted phase resumes exactly where it stopped, and a service-pack
upgrade skips the scripts that did not change.
.
This package holds the shared library that installers and upgrade tools
load; it connects through unixODBC.")
set(CPACK_COMPONENT_DEVELOPMENT_DISPLAY_NAME "development files")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
"database-upgrade engine for Microsoft SQL Server catalogues - development files
The zarezodud engine validates and runs upgrade phases of a product's
Microsoft SQL Server catalogue: lists of SQL scripts, batch files and
executables chosen by the release being upgraded from.
.
This package holds what a host program needs to build against the
library: the public headers, the CMake package (find_package(Zarezodud))
and the pkg-config file.")
set(CPACK_COMPONENT_COMMAND_DISPLAY_NAME "command")
set(CPACK_COMPONENT_COMMAND_DEPENDS runtime)
set(CPACK_COMPONENT_COMMAND_DESCRIPTION
"database-upgrade engine for Microsoft SQL Server catalogues
The zarezodud command validates, plans, lints and runs upgrade phases of
a product's Microsoft SQL Server catalogue, resumes a failed phase where
it stopped, turns script output into result records and keeps the
engine's registry, credentials and database dumps.
.
It connects through unixODBC. The FreeTDS driver (package tdsodbc) works
out of the box; the vendor's ODBC Driver 17 or 18 for SQL Server works
as well when installed from the vendor's repository (Driver 18 encrypts
by default: see ZAREZODUD_ODBC_ATTRIBUTES in zarezodud(1)).")
include(CPack)
