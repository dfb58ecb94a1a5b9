// The processor's instruction sets that the text forms may use, probed once
// for the whole component. The decoding takes the raw cpuid and XGETBV values
// as its input, so that any processor can be described to it.
#pragma once
#include <cstdint>

namespace pfc::text {

// What the processor answered, as it answered it.
struct cpuid_registers {
  std::uint32_t max_leaf = 0;  // leaf 0, EAX: the highest leaf it answers
  std::uint32_t leaf1_ecx = 0; // leaf 1
  std::uint32_t leaf1_edx = 0;
  std::uint32_t leaf7_ebx = 0; // leaf 7, subleaf 0 (only read when max_leaf is 7 or more)
  std::uint64_t xcr0 = 0;      // XGETBV(0): the register state the system saves (only read with OSXSAVE)
};

struct cpu_features {
  bool sse2 = false;
  bool ssse3 = false;
  bool avx2 = false; // the instructions, and the system saving the 256-bit registers
};

cpu_features decode_cpu_features(const cpuid_registers& registers) noexcept;

// This processor's registers (all zero on processors that are not x86).
cpuid_registers probe_cpuid() noexcept;

} // namespace pfc::text
