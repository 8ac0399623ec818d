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
