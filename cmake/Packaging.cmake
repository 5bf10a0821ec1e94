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
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/zarezodud.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/zarezodud.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zarezodud.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The daily dump sweep: a oneshot service running "/usr/bin/zarezodud dumps sweep" and its timer.
if(ZAREZODUD_BUILD_CLI)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/systemd/zarezodud-dumps.service
                ${CMAKE_CURRENT_SOURCE_DIR}/packaging/systemd/zarezodud-dumps.timer
          DESTINATION lib/systemd/system)
endif()

set(CPACK_PACKAGE_NAME zarezodud)
set(CPACK_PACKAGE_VENDOR "Zarezodud developers")
set(CPACK_PACKAGE_CONTACT "zarezodud@localhost")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Database-upgrade engine library and command")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, libssl3, libspdlog1.10, libpugixml1v5, libboost-regex1.74.0")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
