// A small host process for the abort-signal tests: loads the component (and
// maybe unloads it), then raises a signal and lets the process end however the
// installed handler makes it end. A top-level exception filter reports what
// reached it and lets the process die of it.
//
//   abort_signal_probe loaded <signal>      raise with the component loaded
//   abort_signal_probe unloaded <signal>    raise after loading and unloading it
//   abort_signal_probe kept <signal>        as unloaded, with a handler of our
//                                           own set before the load (exits 100 + signal)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

namespace {

LONG WINAPI report(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& r = *info->ExceptionRecord;
  std::printf("exception %08lX flags %lu arguments %lu", r.ExceptionCode, r.ExceptionFlags, r.NumberParameters);
  for (DWORD i = 0; i < r.NumberParameters; ++i)
    std::printf(" %lu", static_cast<unsigned long>(r.ExceptionInformation[i]));
  std::printf("\n");
  std::fflush(stdout);
  return EXCEPTION_EXECUTE_HANDLER; // the process ends with the exception's code
}

void __cdecl own_handler(int signal_number) { std::_Exit(100 + signal_number); }

HMODULE load_component() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
    --n;
  wcscpy(path + n, L"cor_chirpline.dll");
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: abort_signal_probe loaded|unloaded|kept <signal>\n");
    return 2;
  }
  const int signal_number = std::atoi(argv[2]);
  SetUnhandledExceptionFilter(report);
  if (std::strcmp(argv[1], "kept") == 0) std::signal(signal_number, own_handler);
  HMODULE component = load_component();
  if (component == nullptr) {
    std::fprintf(stderr, "cannot load cor_chirpline.dll (error %lu)\n", GetLastError());
    return 2;
  }
  if (std::strcmp(argv[1], "loaded") != 0) {
    FreeLibrary(component);
    if (GetModuleHandleW(L"cor_chirpline.dll") != nullptr) {
      std::fprintf(stderr, "cor_chirpline.dll is still mapped\n");
      return 2;
    }
  }
  std::printf("raising %d\n", signal_number);
  std::fflush(stdout);
  std::raise(signal_number);
  std::printf("raise returned\n");
  return 1;
}
