# Warnings every target links; the engine layers add the conversion warnings where byte
# arithmetic hides bugs.
#
# Warnings are errors only where the compiler is known: the project's own CI turns
# TARNW_WERROR on (`.ci/run`, `TARNW_WERROR=ON make test`). A user or packager building with
# another compiler version or optimisation level gets the warnings shown, not a failed build.
option(TARNW_WERROR "Treat compiler warnings as errors (the project's CI build)" OFF)

add_library(tarnw_warnings INTERFACE)
target_compile_options(tarnw_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wimplicit-fallthrough)
if(TARNW_WERROR)
    target_compile_options(tarnw_warnings INTERFACE -Werror)
endif()

add_library(tarnw_strict_warnings INTERFACE)
target_link_libraries(tarnw_strict_warnings INTERFACE tarnw_warnings)
target_compile_options(tarnw_strict_warnings INTERFACE
    -Wconversion -Wsign-conversion -Wold-style-cast)
