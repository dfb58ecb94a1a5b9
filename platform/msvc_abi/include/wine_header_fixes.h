// Forced before every file of a Microsoft-ABI build. Wine's C and Windows
// headers were written for Wine's own compilers; three things differ from what
// clang's Microsoft target and libc++ expect of a Microsoft C runtime.
#pragma once

// winnt.h defines inline fallbacks of a few _Interlocked* functions that clang
// already has as builtins in this target: their definitions are renamed out of
// the way, and the builtins (declared by intrin.h) stay.
#define _InterlockedAnd64 wine_fallback_InterlockedAnd64
#define _InterlockedCompareExchangePointer wine_fallback_InterlockedCompareExchangePointer
#define _InterlockedExchangeAdd64 wine_fallback_InterlockedExchangeAdd64
#define _InterlockedExchangePointer wine_fallback_InterlockedExchangePointer
#define _InterlockedIncrement64 wine_fallback_InterlockedIncrement64
#define _InterlockedDecrement64 wine_fallback_InterlockedDecrement64
#define _InterlockedOr64 wine_fallback_InterlockedOr64
#define _InterlockedXor64 wine_fallback_InterlockedXor64
#define _InterlockedCompareExchange128 wine_fallback_InterlockedCompareExchange128

#ifdef __cplusplus
#include <math.h>
#include <time.h>

// The UCRT has no struct timespec before its C11 headers; libc++'s thread
// support names the type.
struct timespec {
  time_t tv_sec;
  long tv_nsec;
};

// Microsoft's math.h gives C++ the classification macros as functions, which
// <cmath> brings into std; Wine's has them as macros only.
#undef fpclassify
#undef signbit
#undef isinf
#undef isnan
#undef isnormal
#undef isfinite
#undef isgreater
#undef isgreaterequal
#undef isless
#undef islessequal
#undef islessgreater
#undef isunordered
template <class T> inline int fpclassify(T x) {
  return __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, static_cast<double>(x));
}
template <class T> inline bool signbit(T x) { return __builtin_signbit(static_cast<double>(x)); }
template <class T> inline bool isinf(T x) { return __builtin_isinf(static_cast<double>(x)); }
template <class T> inline bool isnan(T x) { return __builtin_isnan(static_cast<double>(x)); }
template <class T> inline bool isnormal(T x) { return __builtin_isnormal(static_cast<double>(x)); }
template <class T> inline bool isfinite(T x) { return __builtin_isfinite(static_cast<double>(x)); }
template <class T, class U> inline bool isgreater(T x, U y) { return __builtin_isgreater(x, y); }
template <class T, class U> inline bool isgreaterequal(T x, U y) { return __builtin_isgreaterequal(x, y); }
template <class T, class U> inline bool isless(T x, U y) { return __builtin_isless(x, y); }
template <class T, class U> inline bool islessequal(T x, U y) { return __builtin_islessequal(x, y); }
template <class T, class U> inline bool islessgreater(T x, U y) { return __builtin_islessgreater(x, y); }
template <class T, class U> inline bool isunordered(T x, U y) { return __builtin_isunordered(x, y); }
#endif
