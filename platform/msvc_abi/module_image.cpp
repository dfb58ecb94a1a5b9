// The parts of a module's image that Microsoft's static runtime supplies and
// the loader reads: the TLS directory (thread_local variables, the epoch of
// thread-safe statics), the security cookie and the load configuration that
// names it (and, on x86, the table of safe exception handlers), _fltused.
#include "runtime_hooks.h"

#include <windows.h>

extern "C" {

// The TLS template lies between the .tls section and .tls$ZZZ; the loader
// copies it for every thread and stores the module's slot in _tls_index.
ULONG _tls_index = 0;
#pragma section(".tls", read, write)
#pragma section(".tls$ZZZ", read, write)
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;
#pragma section(".CRT$XLA", read)
#pragma section(".CRT$XLZ", read)
extern __declspec(allocate(".CRT$XLA")) const PIMAGE_TLS_CALLBACK __xl_a = nullptr;
extern __declspec(allocate(".CRT$XLZ")) const PIMAGE_TLS_CALLBACK __xl_z = nullptr;

extern const IMAGE_TLS_DIRECTORY _tls_used = {reinterpret_cast<ULONG_PTR>(&_tls_start),
                                              reinterpret_cast<ULONG_PTR>(&_tls_end),
                                              reinterpret_cast<ULONG_PTR>(&_tls_index),
                                              reinterpret_cast<ULONG_PTR>(&__xl_a + 1),
                                              0,
                                              0};

// The cookie the stack checks compare against: a fixed value in the file,
// replaced by the loader (it finds it through the load configuration) or by
// __security_init_cookie before any checked function runs.
#ifdef _WIN64
constexpr uintptr_t default_cookie = 0x00002B992DDFA232ull;
#else
constexpr uintptr_t default_cookie = 0xBB40E64Eu;
#endif
uintptr_t __security_cookie = default_cookie;
uintptr_t __security_cookie_complement = ~default_cookie;

__attribute__((no_stack_protector)) void __cdecl __security_init_cookie() {
  if (__security_cookie != default_cookie) return; // the loader has set it
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  uintptr_t cookie = now.dwLowDateTime ^ now.dwHighDateTime ^ GetCurrentThreadId() ^ GetCurrentProcessId() ^
                     static_cast<uintptr_t>(counter.QuadPart) ^ reinterpret_cast<uintptr_t>(&cookie);
#ifdef _WIN64
  cookie &= 0x0000FFFFFFFFFFFFull;
#endif
  if (cookie == default_cookie || cookie == 0) cookie = default_cookie + 1;
  __security_cookie = cookie;
  __security_cookie_complement = ~cookie;
}

// A stack check that failed: the process ends at once, as with /GS.
__attribute__((no_stack_protector)) void __fastcall __security_check_cookie(uintptr_t cookie) {
  if (cookie != __security_cookie) __fastfail(2 /* FAST_FAIL_STACK_COOKIE_CHECK_FAILURE */);
}

// The load configuration, laid out as far as the table of safe exception
// handlers (the x86 loader refuses handlers not listed there); the linker
// fills in that table and its count.
struct load_configuration {
  uint32_t size, time_date_stamp;
  uint16_t major_version, minor_version;
  uint32_t global_flags_clear, global_flags_set, critical_section_default_timeout;
  uintptr_t decommit_free_block_threshold, decommit_total_free_threshold;
  const void* lock_prefix_table;
  uintptr_t maximum_allocation_size, virtual_memory_threshold;
#ifdef _WIN64
  uintptr_t process_affinity_mask;
  uint32_t process_heap_flags;
#else
  uint32_t process_heap_flags;
  uintptr_t process_affinity_mask;
#endif
  uint16_t csd_version, dependent_load_flags;
  const void* edit_list;
  const uintptr_t* security_cookie;
  const void* se_handler_table;
  const void* se_handler_count;
};
static_assert(sizeof(load_configuration) == (sizeof(void*) == 8 ? 0x70 : 0x48), "the loader's layout");

#ifdef _WIN64
extern const load_configuration _load_config_used = {
    sizeof(load_configuration), 0,       0,      0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0, 0, nullptr,
    &__security_cookie,         nullptr, nullptr};
#else
extern const char __safe_se_handler_table[];
extern const char __safe_se_handler_count;
extern const load_configuration _load_config_used = {sizeof(load_configuration),
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     nullptr,
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     0,
                                                     nullptr,
                                                     &__security_cookie,
                                                     __safe_se_handler_table,
                                                     &__safe_se_handler_count};
#endif

// The compiler names this in every file that uses floating point.
int _fltused = 0x9875;

} // extern "C"
