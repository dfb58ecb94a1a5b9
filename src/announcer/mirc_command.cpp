#include "announcer/mirc_command.h"
#include "support/pfc/exceptions.h"
#include "support/utf8_convert.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace {

constexpr char broken_bar[] = "\xC2\xA6"; // U+00A6, shown in place of '|'

bool is_control_byte(unsigned char c) noexcept { return c < 0x20 || c == 0x7F; }
bool is_continuation_byte(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }

char* put_title_byte(char* out, unsigned char c) noexcept {
  if (c == '|') {
    std::memcpy(out, broken_bar, 2);
    return out + 2;
  }
  *out = is_control_byte(c) ? ' ' : static_cast<char>(c);
  return out + 1;
}

// Copies n title bytes, each '|' as U+00A6 and each control byte as a blank;
// returns the end of what it wrote. With SSE2 a block of sixteen bytes
// without '|' is blanked and stored whole; otherwise the stretches between
// bars are found by the C library's search and copied by a branch-free loop
// (control bytes are rare), which the compiler vectorises.
char* copy_neutralised(char* out, const char* text, std::size_t n) noexcept {
#if defined(__SSE2__)
  std::size_t i = 0;
  const __m128i bar = _mm_set1_epi8('|'), del = _mm_set1_epi8(0x7F);
  const __m128i below_blank = _mm_set1_epi8(0x1F), blank = _mm_set1_epi8(' ');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, bar)) != 0) {
      for (std::size_t k = i; k < i + 16; ++k)
        out = put_title_byte(out, static_cast<unsigned char>(text[k]));
      continue;
    }
    const __m128i control = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, below_blank), v), _mm_cmpeq_epi8(v, del));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_andnot_si128(control, v), _mm_and_si128(control, blank)));
    out += 16;
  }
  for (; i < n; ++i)
    out = put_title_byte(out, static_cast<unsigned char>(text[i]));
#else
  const char* const end = text + n;
  for (const char* from = text;;) {
    const auto* found = static_cast<const char*>(std::memchr(from, '|', static_cast<std::size_t>(end - from)));
    const std::size_t stretch = static_cast<std::size_t>((found != nullptr ? found : end) - from);
    for (std::size_t k = 0; k < stretch; ++k) {
      const auto c = static_cast<unsigned char>(from[k]);
      out[k] = is_control_byte(c) ? ' ' : static_cast<char>(c);
    }
    out += stretch;
    if (found == nullptr) break;
    out = put_title_byte(out, '|');
    from = found + 1;
  }
#endif
  return out;
}

#if defined(__SSE2__) && (defined(__clang__) || defined(__GNUC__))
// The same test thirty-two bytes at a time, on processors with AVX2.
__attribute__((target("avx2"))) bool may_need_neutralising_avx2(const char* text, std::size_t n) noexcept {
  const __m256i flip = _mm256_set1_epi8(0x7C);
  __m256i least = _mm256_min_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + 0)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + n - 32)));
  __m256i least_flipped =
      _mm256_min_epu8(_mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + 0)), flip),
                      _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + n - 32)), flip));
  __m256i least2 = least, least_flipped2 = least_flipped;
  std::size_t i = 32;
  for (; i + 64 <= n; i += 64) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i)),
                  w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 32));
    least = _mm256_min_epu8(least, v);
    least_flipped = _mm256_min_epu8(least_flipped, _mm256_xor_si256(v, flip));
    least2 = _mm256_min_epu8(least2, w);
    least_flipped2 = _mm256_min_epu8(least_flipped2, _mm256_xor_si256(w, flip));
  }
  if (i + 32 <= n) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
    least = _mm256_min_epu8(least, v);
    least_flipped = _mm256_min_epu8(least_flipped, _mm256_xor_si256(v, flip));
  }
  least = _mm256_min_epu8(least, least2);
  least_flipped = _mm256_min_epu8(least_flipped, least_flipped2);
  const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(least, _mm256_set1_epi8(0x1F)), least);
  const __m256i bar_or_del = _mm256_cmpeq_epi8(_mm256_min_epu8(least_flipped, _mm256_set1_epi8(3)), least_flipped);
  return _mm256_movemask_epi8(_mm256_or_si256(control, bar_or_del)) != 0;
}

bool cpu_has_avx2() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
const bool has_avx2 = cpu_has_avx2();
#endif

// False only when the n bytes certainly hold neither a '|' nor a control byte,
// so that they can be copied as they are. With SSE2, two running minimums
// over sixteen bytes at a time: of the bytes themselves (one below 0x20 is a
// control byte) and of the bytes XOR 0x7C (one below 4 is 0x7C to 0x7F: '|',
// DEL, or the harmless '}' and '~', which only cost the careful copy).
} // namespace

bool title_may_need_care(const char* text, std::size_t n) noexcept {
#if defined(__SSE2__) && (defined(__clang__) || defined(__GNUC__))
  if (n >= 32 && has_avx2) return may_need_neutralising_avx2(text, n);
#endif
  return title_may_need_care_sse2(text, n);
}

bool title_may_need_care_sse2(const char* text, std::size_t n) noexcept {
#if defined(__SSE2__)
  if (n < 16) return true;
  const auto block = [text](std::size_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at)); };
  const __m128i flip = _mm_set1_epi8(0x7C);
  // The last block may overlap the ones before; it stays inside the n bytes.
  __m128i least = _mm_min_epu8(block(0), block(n - 16));
  __m128i least_flipped = _mm_min_epu8(_mm_xor_si128(block(0), flip), _mm_xor_si128(block(n - 16), flip));
  // Two blocks a round, each into its own pair of minimums, so that no
  // minimum waits on the one before.
  __m128i least2 = least, least_flipped2 = least_flipped;
  std::size_t i = 16;
  for (; i + 32 <= n; i += 32) {
    const __m128i v = block(i), w = block(i + 16);
    least = _mm_min_epu8(least, v);
    least_flipped = _mm_min_epu8(least_flipped, _mm_xor_si128(v, flip));
    least2 = _mm_min_epu8(least2, w);
    least_flipped2 = _mm_min_epu8(least_flipped2, _mm_xor_si128(w, flip));
  }
  if (i + 16 <= n) {
    const __m128i v = block(i);
    least = _mm_min_epu8(least, v);
    least_flipped = _mm_min_epu8(least_flipped, _mm_xor_si128(v, flip));
  }
  least = _mm_min_epu8(least, least2);
  least_flipped = _mm_min_epu8(least_flipped, least_flipped2);
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(least, _mm_set1_epi8(0x1F)), least);
  const __m128i bar_or_del = _mm_cmpeq_epi8(_mm_min_epu8(least_flipped, _mm_set1_epi8(3)), least_flipped);
  return _mm_movemask_epi8(_mm_or_si128(control, bar_or_del)) != 0;
#else
  (void)text;
  (void)n;
  return true;
#endif
}

void build_command_text(const pfc::string_base& title, pfc::string8& out) {
  const char* text = title.text_ptr();
  const std::uint32_t length = title.text_length();
  if (announce_prefix_length + static_cast<std::uint64_t>(length) >= 0xFFFFFFFFu) pfc::throw_bad_alloc();
  if (!title_may_need_care(text, length)) { // the common case: a plain copy
    out.assign_zero_free(announce_prefix_length + length, [&](char* p) {
      std::memcpy(p, announce_prefix, announce_prefix_length);
      std::memcpy(p + announce_prefix_length, text, length);
      return announce_prefix_length + length;
    });
    return;
  }
  const char* const end = text + length;
  std::uint64_t total = announce_prefix_length + static_cast<std::uint64_t>(length);
  for (const char* bar = text; (bar = static_cast<const char*>(std::memchr(bar, '|', end - bar))) != nullptr; ++bar)
    ++total;
  if (total >= 0xFFFFFFFFu) pfc::throw_bad_alloc();

  // A zero byte is a control byte: blanked like the others, so none is written.
  out.assign_zero_free(static_cast<std::uint32_t>(total), [&](char* p) {
    std::memcpy(p, announce_prefix, announce_prefix_length);
    return static_cast<std::uint32_t>(copy_neutralised(p + announce_prefix_length, text, length) - p);
  });
}

void describe_command_cut(const char* command, std::uint32_t length, std::uint32_t taken, pfc::string8& out) {
  // Every byte that does not continue a sequence starts a character: exact
  // for UTF-8, and a fair count of what a reader would see otherwise.
  const auto characters = [command](std::uint32_t from, std::uint32_t to) {
    std::uint32_t count = 0;
    for (std::uint32_t i = from; i < to; ++i)
      count += is_continuation_byte(static_cast<unsigned char>(command[i])) ? 0 : 1;
    return count;
  };
  const std::uint32_t sent = characters(0, taken);
  char digits[64];
  std::uint32_t code_point = 0;
  if (pfc::decode_utf8_sequence_bounded(command + taken, length - taken, code_point) == 0 || code_point == 0) {
    out.assign_text("command cut after ", pfc::infinite_length);
    out.append_text(pfc::format_decimal(digits, sent), pfc::infinite_length);
    out.append_text(" characters at bytes that are not UTF-8 text", pfc::infinite_length);
    return;
  }
  out.assign_text("command cut from ", pfc::infinite_length);
  out.append_text(pfc::format_decimal(digits, sent + characters(taken, length)), pfc::infinite_length);
  out.append_text(" to ", pfc::infinite_length);
  out.append_text(pfc::format_decimal(digits, sent), pfc::infinite_length);
  out.append_text(" characters to fit mIRC's shared block", pfc::infinite_length);
}
