# Cross build in Microsoft's C++ ABI for 32-bit players built with Microsoft's
# compiler: the component, the stand-in player and its shared.dll.
set(CHIRPLINE_MSVC_TRIPLE i686-pc-windows-msvc)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/msvc_abi.cmake)
