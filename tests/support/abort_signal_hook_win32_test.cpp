// The hook's own pieces, in process: which runtime it finds, what it does with
// the abort-behaviour flags, and how it installs and removes its handler.
#include "support/abort_signal_hook_win32.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cwchar>

namespace {

using signal_handler = void(__cdecl*)(int);

signal_handler current_handler(int number) {
  const signal_handler current = std::signal(number, SIG_DFL);
  std::signal(number, current);
  return current;
}

void __cdecl before(int) {}
void __cdecl after(int) {}

TEST(AbortSignalHookUnit, FindsTheRuntimeThatServesSignal) {
  const HMODULE runtime = c_runtime_module();
  ASSERT_NE(runtime, nullptr);
  wchar_t name[MAX_PATH];
  const DWORD n = GetModuleFileNameW(runtime, name, MAX_PATH);
  ASSERT_GT(n, 0u);
  const wchar_t* base = name + n;
  while (base > name && base[-1] != L'\\' && base[-1] != L'/')
    --base;
  EXPECT_EQ(_wcsicmp(base, L"msvcrt.dll"), 0);
  // signal() itself lives in that module.
  const FARPROC signal_export = GetProcAddress(runtime, "signal");
  EXPECT_NE(signal_export, nullptr);
}

TEST(AbortSignalHookUnit, AbortBehaviourClearedOnlyWhereTheRuntimeHasIt) {
  // msvcrt.dll has no abort-behaviour flags: nothing to call.
  EXPECT_FALSE(clear_abort_behavior(c_runtime_module()));
  EXPECT_FALSE(clear_abort_behavior(nullptr));
  // The universal runtime has them; afterwards every flag is clear.
  const HMODULE ucrt = LoadLibraryW(L"ucrtbase.dll");
  if (ucrt == nullptr) GTEST_SKIP() << "no ucrtbase.dll here";
  using set_fn = unsigned int(__cdecl*)(unsigned int, unsigned int);
  const auto set = reinterpret_cast<set_fn>(reinterpret_cast<void*>(GetProcAddress(ucrt, "_set_abort_behavior")));
  ASSERT_NE(set, nullptr);
  set(3, 3);
  EXPECT_EQ(set(0, 0), 3u);
  EXPECT_TRUE(clear_abort_behavior(ucrt));
  EXPECT_EQ(set(0, 0), 0u);
  FreeLibrary(ucrt);
}

TEST(AbortSignalHookUnit, InstallKeepsAndRemoveRestores) {
  for (int number : abort_signal_numbers)
    std::signal(number, before);
  install_abort_signal_hook();
  for (int number : abort_signal_numbers)
    EXPECT_EQ(current_handler(number), abort_signal_handler) << number;
  install_abort_signal_hook(); // a second install must not keep our own handler as "previous"
  std::signal(21, after);
  remove_abort_signal_hook();
  EXPECT_EQ(current_handler(2), before);
  EXPECT_EQ(current_handler(15), before);
  EXPECT_EQ(current_handler(21), after);
  EXPECT_EQ(current_handler(22), before);
  remove_abort_signal_hook(); // nothing left to undo
  EXPECT_EQ(current_handler(22), before);
  for (int number : abort_signal_numbers)
    std::signal(number, SIG_DFL);
}

} // namespace
