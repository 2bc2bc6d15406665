# Helpers shared by every test directory.
find_package(GTest REQUIRED)

# orvix_add_gtest(<name> SOURCES <files...> LIBS <targets...> [INCLUDES <dirs...>])
# A GoogleTest executable registered with CTest, one CTest entry per test case.
function(orvix_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  if(ORVIX_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/test_environment.cpp)
  target_compile_definitions(${name} PRIVATE ORVIX_TEST_BUILD_BIN="${CMAKE_BINARY_DIR}/bin"
                                             ORVIX_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# orvix_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> [CORPUS <dir>])
# A libFuzzer target, built only in the clang fuzz configuration; CTest runs it briefly.
function(orvix_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT ORVIX_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  # libFuzzer adds what it finds to its corpus folder: it runs on a copy in the build tree.
  set(corpus_args)
  if(ARG_CORPUS)
    set(corpus_copy ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(COPY ${ARG_CORPUS}/ DESTINATION ${corpus_copy})
    set(corpus_args ${corpus_copy})
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${name} -max_total_time=${ORVIX_FUZZ_SECONDS} -timeout=5 ${corpus_args})
endfunction()

set(ORVIX_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under CTest")

include(GoogleTest)

# orvix_add_script_test(<name> COMMAND <cmd...>)
# An integration test driven by a script (Python with Debian's packages, or shell).
function(orvix_add_script_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "COMMAND" ${ARGN})
  if(ORVIX_FUZZ)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  # A host script drives the unit's programs: a target build leaves it to the native suite.
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS native-only
                       ENVIRONMENT "ORVIX_BUILD_BIN=${CMAKE_BINARY_DIR}/bin;ORVIX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
