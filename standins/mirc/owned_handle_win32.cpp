#include "owned_handle_win32.h"

#include <windows.h>

owned_handle::~owned_handle() {
  if (handle_ != nullptr) CloseHandle(handle_);
}
