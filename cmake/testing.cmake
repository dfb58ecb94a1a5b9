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

# chirpline_test(name SOURCES ... LIBS ... [LABELS ...] [RESOURCE_LOCK ...]
# [TIMEOUT seconds]): a GoogleTest program whose every test case is a CTest
# test of its own, name.Suite.Case${CHIRPLINE_TEST_SUFFIX}, so a failure names
# its case. The cases are listed when CTest runs (the cross build's through its
# emulator, Wine), never at build time; each carries the labels, locks and
# time limit given here.
function(chirpline_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
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
endfunction()

# chirpline_benchmark(name SOURCES ... LIBS ...): a Google Benchmark program (native).
function(chirpline_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE chirpline_core ${B_LIBS} benchmark::benchmark)
endfunction()
