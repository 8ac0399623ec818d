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

# The cases of test program NAME that a GoogleTest filter selects, run once more with a
# command-line switch and a suffix on their names.
function(tarvenix_rerun_tests name suffix switch filter)
  string(MAKE_C_IDENTIFIER "${name}${suffix}_TESTS" list)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       TEST_FILTER ${filter} TEST_SUFFIX ${suffix} EXTRA_ARGS ${switch}
                       TEST_LIST ${list} PROPERTIES TIMEOUT 300)
endfunction()

# tarvenix_avx2_tests(NAME FILTER expr): the selected cases once more with the AVX-512 paths
# off (names ending ".avx2"), so the AVX2 code stays tested on machines that have AVX-512.
function(tarvenix_avx2_tests name)
  cmake_parse_arguments(ARG "" "FILTER" "" ${ARGN})
  tarvenix_rerun_tests(${name} .avx2 --avx512=off "${ARG_FILTER}")
endfunction()

# tarvenix_scalar_tests(NAME FILTER expr): the cases of test program NAME that the
# GoogleTest filter selects run once more with the AVX2 paths off (names ending ".scalar"),
# so the kernels' scalar code is tested on machines that have AVX2.
function(tarvenix_scalar_tests name)
  cmake_parse_arguments(ARG "" "FILTER" "" ${ARGN})
  tarvenix_rerun_tests(${name} .scalar --avx2=off "${ARG_FILTER}")
endfunction()
