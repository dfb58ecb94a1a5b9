#include "support/abort_signal_hook_win32.h"

#include <csignal>
#include <cstdlib>

namespace {

using signal_handler = void(__cdecl*)(int);

// Plain data, so it is zero before any constructor runs and needs no
// destructor of its own at unload.
struct hook_state {
  bool installed;
  bool kept[4];
  signal_handler previous[4];
};
hook_state g_hook;

} // namespace

void __cdecl abort_signal_handler(int signal_number) {
  const ULONG_PTR argument = static_cast<ULONG_PTR>(signal_number);
  // A non-continuable exception cannot come back here: a handler that tries to
  // continue gets EXCEPTION_NONCONTINUABLE_EXCEPTION raised instead.
  for (;;)
    RaiseException(abort_signal_exception_code, EXCEPTION_NONCONTINUABLE, 1, &argument);
}

HMODULE c_runtime_module() noexcept {
  // _errno is imported from the runtime by address (dllimport), so its address
  // lies inside the very module that also serves signal().
  HMODULE module = nullptr;
  const auto address = reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&_errno));
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          address, &module))
    return nullptr;
  return module;
}

bool clear_abort_behavior(HMODULE runtime) noexcept {
  if (runtime == nullptr) return false;
  using set_abort_behavior_fn = unsigned int(__cdecl*)(unsigned int, unsigned int);
  const FARPROC found = GetProcAddress(runtime, "_set_abort_behavior");
  if (found == nullptr) return false;
  reinterpret_cast<set_abort_behavior_fn>(reinterpret_cast<void*>(found))(0, ~0u);
  return true;
}

void install_abort_signal_hook() noexcept {
  if (g_hook.installed) return;
  for (int i = 0; i < 4; ++i) {
    const signal_handler previous = std::signal(abort_signal_numbers[i], abort_signal_handler);
    g_hook.kept[i] = previous != SIG_ERR;
    g_hook.previous[i] = previous;
  }
  g_hook.installed = true;
  clear_abort_behavior(c_runtime_module());
}

void remove_abort_signal_hook() noexcept {
  if (!g_hook.installed) return;
  for (int i = 0; i < 4; ++i) {
    if (!g_hook.kept[i]) continue;
    const int number = abort_signal_numbers[i];
    // signal() can only be read by writing it: put the kept handler in, and
    // if the one it replaced was not ours, someone came after us, so theirs
    // goes back.
    const signal_handler current = std::signal(number, g_hook.previous[i]);
    if (current != abort_signal_handler && current != SIG_ERR) std::signal(number, current);
  }
  g_hook.installed = false;
}
