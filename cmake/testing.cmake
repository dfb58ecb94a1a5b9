enable_testing()
if(CHIRPLINE_WIN32)
  # GoogleTest is built from the distribution's sources with the cross compiler.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main)
    target_compile_options(${t} PRIVATE -Wno-error)
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()

# The 64-bit tree's tests carry a suffix: tools/test runs both trees' tests in
# one CTest run, where the names must say which build failed.
if(CHIRPLINE_WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CHIRPLINE_TEST_SUFFIX _x64)
else()
  set(CHIRPLINE_TEST_SUFFIX "")
endif()

include(GoogleTest)

# The Microsoft-ABI tree of the same architecture (tools/build msvc32|msvc64):
# its player and component are driven by this tree's Wine tests as well.
if(CHIRPLINE_WIN32)
  string(REGEX REPLACE "win(32|64)$" "msvc\\1" _msvc_tree "${CMAKE_BINARY_DIR}")
  set(CHIRPLINE_MSVC_PLAYER_DIR "${_msvc_tree}/bin" CACHE PATH
      "The bin folder of the Microsoft-ABI tree whose player the Wine tests drive too")
  # As the Windows programs see it (Wine's drive Z: is the root).
  set(CHIRPLINE_MSVC_PLAYER_FOLDER "Z:${CHIRPLINE_MSVC_PLAYER_DIR}")
endif()

# chirpline_test(name SOURCES ... LIBS ... [LABELS ...] [RESOURCE_LOCK ...]
# [TIMEOUT seconds] [PLAYER_CASES Suite.Case...]): a GoogleTest program whose
# every test case is a CTest test of its own, name.Suite.Case${CHIRPLINE_TEST_SUFFIX},
# so a failure names its case. The cases are listed when CTest runs (the cross
# build's through its emulator, Wine), never at build time; each carries the
# labels, locks and time limit given here. PLAYER_CASES: the cases that drive
# the stand-in player as a program, run once more against the Microsoft-ABI
# player and component (name.Suite.Case${CHIRPLINE_TEST_SUFFIX}_msvc).
function(chirpline_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK;PLAYER_CASES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} chirpline_test_support GTest::gtest GTest::gtest_main)
  if(CHIRPLINE_WIN32)
    # The component's objects import the host's shared.dll: the stand-in's
    # build of it must sit beside every test program.
    add_dependencies(${name} runtime_dlls corvane_shared)
  endif()
  set(properties)
  foreach(property LABELS RESOURCE_LOCK TIMEOUT)
    if(T_${property})
      list(LENGTH T_${property} count)
      if(count GREATER 1)
        message(FATAL_ERROR "chirpline_test(${name}): one value of ${property} per program")
      endif()
      list(APPEND properties ${property} ${T_${property}})
    endif()
  endforeach()
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    TEST_SUFFIX "${CHIRPLINE_TEST_SUFFIX}"
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
  if(CHIRPLINE_WIN32)
    # Named here, not listed by the program: each must run exactly one case.
    foreach(case IN LISTS T_PLAYER_CASES)
      set(test ${name}.${case}${CHIRPLINE_TEST_SUFFIX}_msvc)
      add_test(NAME ${test} COMMAND ${name} --gtest_filter=${case})
      set_tests_properties(${test} PROPERTIES ${properties} PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\."
                           ENVIRONMENT "CHIRPLINE_PLAYER_FOLDER=${CHIRPLINE_MSVC_PLAYER_FOLDER}")
    endforeach()
  endif()
endfunction()

# chirpline_benchmark(name SOURCES ... LIBS ...): a Google Benchmark program (native).
function(chirpline_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE chirpline_core ${B_LIBS} benchmark::benchmark)
endfunction()
