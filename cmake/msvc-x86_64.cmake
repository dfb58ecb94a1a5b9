# Cross build in Microsoft's C++ ABI for 64-bit players built with Microsoft's
# compiler: the component, the stand-in player and its shared.dll.
set(CHIRPLINE_MSVC_TRIPLE x86_64-pc-windows-msvc)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/msvc_abi.cmake)
