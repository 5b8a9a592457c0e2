# waylark_add_test(NAME name SOURCES ... LIBS ...)
# Builds a QtTest executable and registers it with CTest. Every test runs
# offscreen; the test itself makes its own temporary working directory
# (see tests/support/testenv.h).
function(waylark_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        WAYLARK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/fixtures"
        WAYLARK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        WAYLARK_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        TIMEOUT ${T_TIMEOUT})
endfunction()
