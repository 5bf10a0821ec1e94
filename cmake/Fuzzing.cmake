# libFuzzer instrumentation for the whole build when ZAREZODUD_BUILD_FUZZ is on. Only clang
# offers libFuzzer; with another compiler, or a clang without it, the option is reported and
# ignored so that an ordinary build never fails because of it. ZAREZODUD_FUZZ_ENABLED tells the
# top-level list whether to add fuzz/.
set(ZAREZODUD_FUZZ_ENABLED OFF)
if(ZAREZODUD_BUILD_FUZZ)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,address,undefined")
  check_cxx_source_compiles([=[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
  ]=] ZAREZODUD_HAVE_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND ZAREZODUD_HAVE_LIBFUZZER)
    set(ZAREZODUD_FUZZ_ENABLED ON)
    # The library is instrumented for coverage and the sanitizers; only the fuzz programs
    # link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  else()
    message(WARNING "ZAREZODUD_BUILD_FUZZ needs clang with -fsanitize=fuzzer; fuzz targets skipped")
  endif()
endif()
