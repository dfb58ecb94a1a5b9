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

# chirpline_test(name SOURCES ... LIBS ... [LABELS ...]): the CTest test is
# name${CHIRPLINE_TEST_SUFFIX}.
function(chirpline_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} chirpline_test_support GTest::gtest GTest::gtest_main)
  if(CHIRPLINE_WIN32)
    # The component's objects import the host's shared.dll: the stand-in's
    # build of it must sit beside every test program.
    add_dependencies(${name} runtime_dlls corvane_shared)
  endif()
  add_test(NAME ${name}${CHIRPLINE_TEST_SUFFIX} COMMAND ${name})
  if(T_LABELS)
    set_tests_properties(${name}${CHIRPLINE_TEST_SUFFIX} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# chirpline_benchmark(name SOURCES ... LIBS ...): a Google Benchmark program (native).
function(chirpline_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE chirpline_core ${B_LIBS} benchmark::benchmark)
endfunction()
