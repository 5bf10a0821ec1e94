# Debian 12 packages the engine builds against (see README.md for the list).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS regex)
find_package(OpenSSL REQUIRED)
find_package(spdlog REQUIRED)
find_package(pugixml REQUIRED)
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc)
