#include "support/text/text_forms.h"

#include "support/text/form_kernels.h"

namespace pfc::text {
namespace {

constexpr text_form scalar_form = {"scalar", &scalar::utf8_to_utf16, &scalar::utf16_to_utf8,
                                   &scalar::title_may_need_care, &scalar::copy_neutralised};
#if defined(__i386__) || defined(__x86_64__)
constexpr text_form sse2_form = {"sse2", &sse2::utf8_to_utf16, &sse2::utf16_to_utf8, &sse2::title_may_need_care,
                                 &sse2::copy_neutralised};
constexpr text_form ssse3_form = {"ssse3", &ssse3::utf8_to_utf16, &sse2::utf16_to_utf8, &sse2::title_may_need_care,
                                  &sse2::copy_neutralised};
constexpr text_form avx2_form = {"avx2", &ssse3::utf8_to_utf16, &sse2::utf16_to_utf8, &avx2::title_may_need_care,
                                 &sse2::copy_neutralised};
#endif

} // namespace

const text_form& form_for(const cpu_features& features) noexcept {
#if defined(__i386__) || defined(__x86_64__)
  if (features.avx2 && features.ssse3) return avx2_form;
  if (features.ssse3) return ssse3_form;
  if (features.sse2) return sse2_form;
#else
  (void)features;
#endif
  return scalar_form;
}

const text_form& chosen_form() noexcept {
  static const text_form& chosen = form_for(decode_cpu_features(probe_cpuid()));
  return chosen;
}

} // namespace pfc::text
