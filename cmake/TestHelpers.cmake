# tarnw_add_gtest(NAME LABEL SOURCES... LIBS ...)
# One GoogleTest executable per folder of tests; every test carries the folder's label so that
# `ctest -L dbf` runs one layer, and Qt tests run on the offscreen platform. Every test sees the
# shared helpers of tests/common.
function(tarnw_add_gtest name label)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main tarnw_warnings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    target_compile_definitions(${name} PRIVATE
        TARNW_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TARNW_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${name}
        PROPERTIES LABELS ${label} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60)
endfunction()

# tarnw_add_qtest(NAME LABEL SOURCES... LIBS ...): one Qt Test executable, run as one test.
function(tarnw_add_qtest name label)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test tarnw_warnings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    target_compile_definitions(${name} PRIVATE
        TARNW_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TARNW_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ${label} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
