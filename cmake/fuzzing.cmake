enable_testing()
# chirpline_fuzzer(name SOURCES ... CORPUS dir): a libFuzzer target; CTest
# replays every file of the corpus through it once.
function(chirpline_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE chirpline_core ${F_LIBS})
  add_test(NAME ${name}_corpus COMMAND ${name} -runs=0 ${F_CORPUS})
  set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz)
endfunction()
