# cmake --install: CMake package (find_package(Zarezodud) -> Zarezodud::zarezodud),
# pkg-config file; cpack -G DEB makes a Debian package.
include(CMakePackageConfigHelpers)
set(ZAREZODUD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zarezodud)
install(EXPORT ZarezodudTargets NAMESPACE Zarezodud:: DESTINATION ${ZAREZODUD_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/ZarezodudConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfig.cmake INSTALL_DESTINATION ${ZAREZODUD_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ZarezodudConfigVersion.cmake
        DESTINATION ${ZAREZODUD_CMAKE_DIR})
# The pkg-config file finds its prefix relative to its own directory, so that the same file
# serves cmake --install into any prefix and the Debian package (installed under /usr).
file(RELATIVE_PATH ZAREZODUD_PC_PREFIX_REL "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/zarezodud.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/zarezodud.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zarezodud.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# systemd units of the maintenance jobs (the daily dump sweep).
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/systemd)
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/packaging/systemd/
          DESTINATION lib/systemd/system
          FILES_MATCHING PATTERN "*.service" PATTERN "*.timer")
endif()

set(CPACK_PACKAGE_NAME zarezodud)
set(CPACK_PACKAGE_VENDOR "Zarezodud developers")
set(CPACK_PACKAGE_CONTACT "zarezodud@localhost")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Database-upgrade engine library and command")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, libssl3, libspdlog1.10, libpugixml1v5, libboost-regex1.74.0")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
