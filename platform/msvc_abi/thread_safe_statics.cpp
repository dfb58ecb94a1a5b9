// Thread-safe initialisation of function-local statics, as the compiler calls
// it in Microsoft's ABI: a guard is 0 before, -1 during, and afterwards the
// epoch in which it was done. A thread whose own epoch has passed a guard's
// reads the static without a lock.
#include <limits.h>

#include <windows.h>

namespace {
SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_done = CONDITION_VARIABLE_INIT;
constexpr int uninitialized = 0;
constexpr int being_initialized = -1;
} // namespace

extern "C" {

int _Init_global_epoch = INT_MIN;
__declspec(thread) int _Init_thread_epoch = INT_MIN;

void __cdecl _Init_thread_header(int* guard) {
  AcquireSRWLockExclusive(&g_lock);
  if (*guard == uninitialized) {
    *guard = being_initialized;
  } else {
    while (*guard == being_initialized) {
      SleepConditionVariableSRW(&g_done, &g_lock, INFINITE, 0);
      // Another thread's constructor threw: this one tries in its place.
      if (*guard == uninitialized) {
        *guard = being_initialized;
        break;
      }
    }
    _Init_thread_epoch = _Init_global_epoch;
  }
  ReleaseSRWLockExclusive(&g_lock);
}

void __cdecl _Init_thread_footer(int* guard) {
  AcquireSRWLockExclusive(&g_lock);
  ++_Init_global_epoch;
  *guard = _Init_global_epoch;
  _Init_thread_epoch = _Init_global_epoch;
  ReleaseSRWLockExclusive(&g_lock);
  WakeAllConditionVariable(&g_done);
}

void __cdecl _Init_thread_abort(int* guard) {
  AcquireSRWLockExclusive(&g_lock);
  *guard = uninitialized;
  ReleaseSRWLockExclusive(&g_lock);
  WakeAllConditionVariable(&g_done);
}

} // extern "C"
