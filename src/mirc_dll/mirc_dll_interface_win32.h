// mIRC's DLL interface as its help documents it: the one place its structure
// and procedure types are written, for chirpline_mirc.dll and for everything
// that calls a DLL as mIRC does (the mIRC stand-in, the tests, the benchmark).
#pragma once
#include <windows.h>

// What LoadDll gets, each field from the version named. mIRC adds fields at
// the end as it grows, and an older mIRC passes only the part it knows.
struct LOADINFO {
  DWORD mVersion; // low word major, high word minor (5.8)
  HWND mHwnd;     // mIRC's main window (5.8)
  BOOL mKeep;     // TRUE keeps the DLL loaded after the call (5.8)
  BOOL mUnicode;  // set TRUE to get and return UTF-16 (7.0)
  DWORD mBeta;    // (7.51)
  DWORD mBytes;   // the size of data and parms in bytes (7.64)
};

namespace mirc_dll_interface {

using load_dll = void(__stdcall*)(LOADINFO* info);
// timeout: 0 for /dll -u, 1 after ten minutes unused (0 back keeps the DLL), 2 at exit.
using unload_dll = int(__stdcall*)(int timeout);
// $dll(file, procedure, data) and /dll file procedure data.
using procedure = int(__stdcall*)(HWND mWnd, HWND aWnd, void* data, void* parms, BOOL show, BOOL nopause);

// What a procedure returns: halt the script, go on, data is a command for
// mIRC to perform, data is the value of $dll(...).
inline constexpr int halt = 0, go_on = 1, command = 2, value = 3;

} // namespace mirc_dll_interface
