// The DllMain of a DLL that has none of its own, as Microsoft's static runtime
// supplies it: the linker takes it from this archive only then.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
