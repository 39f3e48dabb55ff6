# Warnings every target links; the engine layers add the conversion warnings where byte
# arithmetic hides bugs.
add_library(tarnw_warnings INTERFACE)
target_compile_options(tarnw_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wimplicit-fallthrough -Werror)

add_library(tarnw_strict_warnings INTERFACE)
target_link_libraries(tarnw_strict_warnings INTERFACE tarnw_warnings)
target_compile_options(tarnw_strict_warnings INTERFACE
    -Wconversion -Wsign-conversion -Wold-style-cast)
