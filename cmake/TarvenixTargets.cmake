# Helpers shared by every folder's CMakeLists.txt.

# tarvenix_library(NAME SOURCES ... [LIBS ...]): a shared library of the suite.
function(tarvenix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# tarvenix_test(NAME SOURCES ... [LIBS ...]): one GoogleTest program; each test case
# runs as its own CTest test, so suites run in parallel and a crash names its case.
function(tarvenix_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tarvenix_test_support ${ARG_LIBS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300)
endfunction()

# tarvenix_avx2_tests(NAME FILTER expr): the selected cases once more with the AVX-512 paths
# off (names ending ".avx2"), so the AVX2 code stays tested on machines that have AVX-512.
function(tarvenix_avx2_tests name)
  cmake_parse_arguments(ARG "" "FILTER" "" ${ARGN})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       TEST_FILTER ${ARG_FILTER} TEST_SUFFIX .avx2 EXTRA_ARGS --avx512=off
                       TEST_LIST ${name}_AVX2_TESTS PROPERTIES TIMEOUT 300)
endfunction()

# tarvenix_scalar_tests(NAME FILTER expr): the cases of test program NAME that the
# GoogleTest filter selects run once more with the AVX2 paths off (names ending ".scalar"),
# so the kernels' scalar code is tested on machines that have AVX2.
function(tarvenix_scalar_tests name)
  cmake_parse_arguments(ARG "" "FILTER" "" ${ARGN})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       TEST_FILTER ${ARG_FILTER} TEST_SUFFIX .scalar EXTRA_ARGS --avx2=off
                       TEST_LIST ${name}_SCALAR_TESTS PROPERTIES TIMEOUT 300)
endfunction()
