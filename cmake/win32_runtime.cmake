# Copy the shared GCC runtime beside the cross-built binaries. The 32-bit and
# 64-bit runtimes share two of their three names, so each tree keeps its own.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CHIRPLINE_LIBGCC_DLL libgcc_s_seh-1.dll)
  set(CHIRPLINE_MINGW_TRIPLET x86_64-w64-mingw32)
else()
  set(CHIRPLINE_LIBGCC_DLL libgcc_s_dw2-1.dll)
  set(CHIRPLINE_MINGW_TRIPLET i686-w64-mingw32)
endif()
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE _stdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${CHIRPLINE_LIBGCC_DLL}
                OUTPUT_VARIABLE _gcc_s OUTPUT_STRIP_TRAILING_WHITESPACE)
find_file(_winpthread libwinpthread-1.dll
          PATHS /usr/${CHIRPLINE_MINGW_TRIPLET}/lib /usr/${CHIRPLINE_MINGW_TRIPLET}/bin NO_DEFAULT_PATH)
set(CHIRPLINE_RUNTIME_DLLS ${_stdcxx} ${_gcc_s} ${_winpthread})
foreach(dll IN LISTS CHIRPLINE_RUNTIME_DLLS)
  if(NOT EXISTS "${dll}")
    message(FATAL_ERROR "GCC runtime DLL not found: ${dll}")
  endif()
endforeach()
add_custom_target(runtime_dlls ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CHIRPLINE_RUNTIME_DLLS} ${CMAKE_BINARY_DIR}/bin
  COMMENT "Copying the shared GCC runtime beside the binaries")
