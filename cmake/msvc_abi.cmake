# What the two Microsoft-ABI toolchain files share: clang's Microsoft target
# with lld-link and llvm-rc, Wine's C runtime and Windows headers (with UTF-16
# wchar_t), libc++'s headers over vcruntime140, and platform/msvc_abi for what
# Microsoft's static runtime would link in. No default library: every import
# is made from the lists in platform/msvc_abi/imports.
set(CMAKE_SYSTEM_NAME Windows)
set(CHIRPLINE_MSVC_ABI ON)
set(CMAKE_C_COMPILER clang-16)
set(CMAKE_CXX_COMPILER clang++-16)
set(CMAKE_C_COMPILER_TARGET ${CHIRPLINE_MSVC_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${CHIRPLINE_MSVC_TRIPLE})
set(CMAKE_RC_COMPILER llvm-rc-16)
set(CMAKE_AR llvm-ar-16 CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib-16 CACHE FILEPATH "")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
# The compilers are checked by compiling, not linking: a program needs the
# runtime this project builds first.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_MSVC_RUNTIME_LIBRARY "")

set(_platform ${CMAKE_CURRENT_LIST_DIR}/../platform/msvc_abi)
get_filename_component(_platform ${_platform} ABSOLUTE)
set(_flags "-fms-extensions -fms-compatibility -fexceptions -fcxx-exceptions -fstack-protector-strong")
string(APPEND _flags " -nostdinc++ -isystem ${_platform}/include -isystem /usr/lib/llvm-16/include/c++/v1")
string(APPEND _flags " -idirafter /usr/include/wine/wine/msvcrt -idirafter /usr/include/wine/wine/windows")
string(APPEND _flags " -include ${_platform}/include/wine_header_fixes.h -D_UCRT -DWINE_UNICODE_NATIVE -D_MT -D_DLL")
set(CMAKE_CXX_FLAGS_INIT "${_flags}")
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_INIT "-fms-extensions -idirafter /usr/include/wine/wine/msvcrt -idirafter /usr/include/wine/wine/windows -DWINE_UNICODE_NATIVE")
set(CMAKE_RC_FLAGS_INIT "-DWINE_UNICODE_NATIVE")
# Same sources, same bytes: no time stamp, and every file compiled by its path
# from the source folder (Microsoft's decoration of anonymous namespaces hashes
# the path the compiler was given).
set(_link "-Wno-unused-command-line-argument -Xlinker /nodefaultlib -Xlinker /Brepro -Xlinker /opt:ref -Xlinker /opt:icf")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_link}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_link} -Xlinker /subsystem:console,6.01")
set(CMAKE_CXX_COMPILER_LAUNCHER ${_platform}/compile-from-source-folder ${CMAKE_CURRENT_LIST_DIR}/..)
