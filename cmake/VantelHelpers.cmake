# vantel_unit_test(NAME SOURCES... LIBS ...)
# A GoogleTest program registered with CTest under the label "unit". Each TEST becomes its own
# CTest case, so a failure names the test that failed.
include(GoogleTest)

#
# ONE_CASE registers the whole program as a single CTest case instead. Suites that share an
# expensive fixture across their tests (a stand-in server started once in SetUpTestSuite) use
# it, since one process per TEST would pay the fixture's start for every case.
function(vantel_unit_test name)
  cmake_parse_arguments(ARG "ONE_CASE" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  vantel_tree_includes(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  # The first label is "integration" when the caller names it, else "unit": a test program is
  # one or the other. (A list passed through PROPERTIES would lose its later items.)
  set(label unit)
  if("integration" IN_LIST ARG_LABELS)
    set(label integration)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(ARG_ONE_CASE)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${ARG_TIMEOUT})
  else()
    gtest_discover_tests(${name}
      PROPERTIES LABELS ${label} TIMEOUT ${ARG_TIMEOUT}
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# vantel_fuzz_target(NAME SOURCE LIBS ...): a libFuzzer program, built only with VANTEL_FUZZ.
function(vantel_fuzz_target name source)
  if(NOT VANTEL_FUZZ)
    return()
  endif()
  add_executable(${name} ${source})
  vantel_tree_includes(${name})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# vantel_tree_includes(TARGET...): the targets include headers by their path from the top of the
# tree ("platform/user/user.h"); a library passes that on to whatever links it.
function(vantel_tree_includes)
  foreach(target IN LISTS ARGN)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" OR type STREQUAL "MODULE_LIBRARY")
      target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    else()
      target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    endif()
  endforeach()
endfunction()
