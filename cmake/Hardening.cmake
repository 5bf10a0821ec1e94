# Hardening of optimised builds, as Debian builds its packages: fortified libc calls (checked
# buffer sizes where the compiler knows them) and a read-only relocation table bound at start.
# Sanitizer and fuzzing builds leave these out: they instrument the same calls themselves.
if(NOT ZAREZODUD_SANITIZE AND NOT ZAREZODUD_BUILD_FUZZ)
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_compile_options(-fstack-protector-strong)
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
