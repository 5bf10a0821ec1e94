# Warning flags applied to every target of the project.
add_library(zarezodud_warnings INTERFACE)
target_compile_options(zarezodud_warnings INTERFACE -Wall -Wextra -Wpedantic)
