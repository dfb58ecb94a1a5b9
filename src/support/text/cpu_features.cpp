#include "support/text/cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace pfc::text {

cpu_features decode_cpu_features(const cpuid_registers& r) noexcept {
  constexpr std::uint32_t leaf1_edx_sse2 = 1u << 26;
  constexpr std::uint32_t leaf1_ecx_ssse3 = 1u << 9;
  constexpr std::uint32_t leaf1_ecx_osxsave = 1u << 27;
  constexpr std::uint32_t leaf1_ecx_avx = 1u << 28;
  constexpr std::uint32_t leaf7_ebx_avx2 = 1u << 5;
  constexpr std::uint64_t xcr0_sse_and_avx_state = 0x6; // XMM (bit 1) and upper YMM (bit 2) halves

  cpu_features f;
  if (r.max_leaf < 1) return f;
  f.sse2 = (r.leaf1_edx & leaf1_edx_sse2) != 0;
  f.ssse3 = f.sse2 && (r.leaf1_ecx & leaf1_ecx_ssse3) != 0;
  // A processor may have AVX2 while the system does not save the upper
  // halves of its registers across a thread switch: then it must not be used.
  const bool system_saves_ymm =
      (r.leaf1_ecx & leaf1_ecx_osxsave) != 0 && (r.xcr0 & xcr0_sse_and_avx_state) == xcr0_sse_and_avx_state;
  f.avx2 = f.ssse3 && r.max_leaf >= 7 && (r.leaf1_ecx & leaf1_ecx_avx) != 0 && (r.leaf7_ebx & leaf7_ebx_avx2) != 0 &&
           system_saves_ymm;
  return f;
}

cpuid_registers probe_cpuid() noexcept {
  cpuid_registers r;
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return r;
  r.max_leaf = eax;
  if (r.max_leaf < 1) return r;
  __cpuid(1, eax, ebx, ecx, edx);
  r.leaf1_ecx = ecx;
  r.leaf1_edx = edx;
  if (r.max_leaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    r.leaf7_ebx = ebx;
  }
  // XGETBV faults unless the system has enabled it (OSXSAVE).
  if ((r.leaf1_ecx & (1u << 27)) != 0) {
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    r.xcr0 = (static_cast<std::uint64_t>(high) << 32) | low;
  }
#endif
  return r;
}

} // namespace pfc::text
