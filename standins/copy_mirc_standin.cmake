# cmake -DFROM=WIN32-BIN -DTO=FOLDER -P copy_mirc_standin.cmake: the 32-bit
# mIRC stand-in and the runtime it was linked with, as the win32 tree built them,
# and the 32-bit mIRC DLL its $dll calls load.
set(files mirc-standin.exe mirc-send.exe chirpline_mirc.dll libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)
foreach(f IN LISTS files)
  if(NOT EXISTS "${FROM}/${f}")
    message(FATAL_ERROR "${FROM}/${f} is missing: build the win32 tree first (tools/build win32)")
  endif()
  list(APPEND paths "${FROM}/${f}")
endforeach()
file(MAKE_DIRECTORY "${TO}")
file(COPY ${paths} DESTINATION "${TO}")
