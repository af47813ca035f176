# GoogleTest from its sources where the system keeps them (Debian's googletest package: the cross
# builds need it compiled for their own target), else an installed package. Without either the
# tests are left out, and the program still builds.
set(GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources to build the tests with")
find_package(Python3 COMPONENTS Interpreter)
if(EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own sources are not held to our warning set.
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gtest_main PRIVATE -w)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest QUIET)
endif()
if(NOT TARGET GTest::gtest_main)
  message(STATUS "GoogleTest not found (set GTEST_SOURCE_DIR, or install it): tests are skipped")
  set(FORUMWATCH_TESTS OFF)
  return()
endif()
enable_testing()

# One test program, one ctest entry: under Wine every process start costs a fraction of a second,
# so the programs are not split into one process per test case. WINDOWS marks a program that only
# the Windows builds make.
function(add_toolkit_test name)
  cmake_parse_arguments(T "WINDOWS" "" "LIBS;SOURCES" ${ARGN})
  if(T_WINDOWS AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 120)
endfunction()
