#include "support/utf8_convert.h"

#include <cstring>

#if defined(__SSE2__)
#include <cpuid.h>
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace pfc {
namespace {

// Lead-byte classes, indexed by sequence length minus one.
constexpr unsigned char lead_mask[6] = {0x80, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
constexpr unsigned char lead_value[6] = {0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};

constexpr std::size_t no_bound = ~static_cast<std::size_t>(0);

std::size_t decode(const unsigned char* text, std::size_t max_bytes, std::uint32_t& code_point) noexcept {
  code_point = 0;
  if (max_bytes == 0) return 0;
  const unsigned b0 = text[0];
  if (b0 < 0x80) {
    code_point = b0;
    return b0 == 0 ? 0 : 1;
  }
  const std::size_t longest = max_bytes < 6 ? max_bytes : 6;
  std::size_t n = 0;
  for (std::size_t len = 2; len <= longest; ++len) {
    if ((b0 & lead_mask[len - 1]) == lead_value[len - 1]) {
      n = len;
      break;
    }
  }
  if (n == 0) return 0;
  // C0 and C1 could only carry values below 0x80.
  if (n == 2 && (b0 & 0x1E) == 0) return 0;

  std::uint32_t v = b0 & (0xFFu >> (n + 1));
  for (std::size_t i = 1; i < n; ++i) {
    const unsigned b = text[i];
    // The terminator is no continuation byte, so this never reads past it.
    if ((b & 0xC0) != 0x80) return 0;
    // The shortest forms of each length: reject the ones that would fit in
    // fewer payload bits than the next shorter length carries.
    if (i == 2 && v == 0 && ((b & 0x7F) >> (7 - n)) == 0) return 0;
    v = (v << 6) | (b & 0x3F);
  }
  code_point = v;
  return n;
}

} // namespace

std::size_t decode_utf8_sequence(const char* text, std::uint32_t& code_point) noexcept {
  return decode(reinterpret_cast<const unsigned char*>(text), no_bound, code_point);
}

std::size_t decode_utf8_sequence_bounded(const char* text, std::size_t max_bytes, std::uint32_t& code_point) noexcept {
  return decode(reinterpret_cast<const unsigned char*>(text), max_bytes, code_point);
}

std::size_t encode_utf8_sequence(std::uint32_t code_point, char* out) noexcept {
  std::size_t n;
  if (code_point < 0x80)
    n = 1;
  else if (code_point < 0x800)
    n = 2;
  else if (code_point < 0x10000)
    n = 3;
  else if (code_point < 0x200000)
    n = 4;
  else if (code_point < 0x4000000)
    n = 5;
  else if (code_point <= 0x7FFFFFFF)
    n = 6;
  else
    return 0;
  if (out == nullptr) return n;
  if (n == 1) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  std::uint32_t rest = code_point;
  for (std::size_t i = n - 1; i > 0; --i) {
    out[i] = static_cast<char>(0x80 | (rest & 0x3F));
    rest >>= 6;
  }
  out[0] = static_cast<char>(lead_value[n - 1] | rest);
  return n;
}

std::size_t decode_utf16_sequence(const char16_t* text, std::uint32_t& code_point) noexcept {
  const std::uint32_t u = text[0];
  if (u == 0) {
    code_point = 0;
    return 0;
  }
  if ((u & 0xFC00) == 0xD800) {
    // Looking at the next unit is safe: at worst it is the terminator.
    const std::uint32_t w = text[1];
    if ((w & 0xFC00) == 0xDC00) {
      code_point = (((u & 0x3FF) << 10) | (w & 0x3FF)) + 0x10000;
      return 2;
    }
  }
  code_point = u;
  return 1;
}

namespace {

// Whole-text conversions, one step per character, with the ASCII runs (and,
// where the block type can, whole runs of other characters) taken a block at
// a time. The block type is a template argument so that the plain word-wide
// blocks, which run everywhere, stay testable beside the SSE2 ones.
//
// A block read may look past the terminator, but never past the end of the
// page that holds the block's first byte: memory is mapped in whole pages, so
// the read cannot fault, and nothing beyond the terminator changes a result.
// AddressSanitizer would still call it an overflow, hence the attribute on
// the few functions that read whole blocks.
#if defined(__clang__) || defined(__GNUC__)
#define PFC_BLOCK_READ __attribute__((no_sanitize_address))
#else
#define PFC_BLOCK_READ
#endif

constexpr std::uintptr_t page_size = 4096;

inline bool block_in_page(const void* p, std::size_t bytes) noexcept {
  return (reinterpret_cast<std::uintptr_t>(p) & (page_size - 1)) <= page_size - bytes;
}

inline bool is_ascii(unsigned u) noexcept { return u - 1u < 0x7Fu; } // 0x01..0x7F: the terminator is not

inline unsigned lowest_bit(std::uint64_t word) noexcept { return static_cast<unsigned>(__builtin_ctzll(word)); }

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the word blocks read the first byte as the lowest");

// Eight bytes (or four units) at a time in a plain 64-bit word.
struct word_blocks {
  static constexpr std::size_t width8 = 8, width16 = 4;
  static constexpr bool has_bmp_blocks = false;
  static std::size_t narrow_bmp_block(unsigned char*, const char16_t*) noexcept { return 0; }
  static constexpr bool has_pair_blocks = false;
  static bool widen_pair_run(char16_t*&, const unsigned char*&) noexcept { return false; }
  static bool widen_triple_run(char16_t*&, const unsigned char*&) noexcept { return false; }
  // A typedef, not an alias declaration: clang lowers the alignment only so.
  typedef std::uint64_t word __attribute__((may_alias, aligned(1)));
  static constexpr std::uint64_t ones8 = 0x0101010101010101u, highs8 = 0x8080808080808080u;
  static constexpr std::uint64_t ones16 = 0x0001000100010001u, highs16 = 0x8000800080008000u;

  PFC_BLOCK_READ static std::uint64_t load(const void* p) noexcept { return *static_cast<const word*>(p); }

  // ASCII bytes at the start of the eight at p (8 when all are). A byte is
  // flagged when its top bit is set or when it is zero; below the first
  // flagged byte no borrow can arise, so the lowest flag is exact.
  static unsigned ascii_bytes(const unsigned char* p) noexcept {
    const std::uint64_t w = load(p);
    const std::uint64_t stop = (w | ((w - ones8) & ~w)) & highs8;
    return stop == 0 ? 8 : lowest_bit(stop) / 8;
  }
  // The same for four units: any of bits 7..15 set, or zero.
  static unsigned ascii_units(const char16_t* p) noexcept {
    const std::uint64_t w = load(p);
    const std::uint64_t stop = (w & 0xFF80FF80FF80FF80u) | ((w - ones16) & ~w & highs16);
    return stop == 0 ? 4 : lowest_bit(stop) / 16;
  }

  static std::size_t utf8_run_units(const unsigned char*& p) noexcept {
    std::size_t count = 0;
    while (block_in_page(p, 8)) {
      const unsigned n = ascii_bytes(p);
      count += n;
      p += n;
      if (n != 8) break;
    }
    return count;
  }

  // Eight ASCII bytes as eight units; false, writing nothing, otherwise.
  static bool widen_block(char16_t* out, const unsigned char* p) noexcept {
    if (ascii_bytes(p) != 8) return false;
    for (unsigned i = 0; i < 8; ++i)
      out[i] = p[i];
    return true;
  }

  static std::size_t utf16_run_bytes(const char16_t*& p) noexcept {
    std::size_t count = 0;
    while (block_in_page(p, 8)) {
      const unsigned n = ascii_units(p);
      count += n;
      p += n;
      if (n != 4) break;
    }
    return count;
  }

  // Copies ASCII units while they last and room remains.
  static bool narrow_block(char* out, const char16_t* p) noexcept {
    if (ascii_units(p) != 4) return false;
    for (unsigned i = 0; i < 4; ++i)
      out[i] = static_cast<char>(p[i]);
    return true;
  }
};

#if defined(__SSE2__)
// Sixteen bytes (or eight units) at a time in an SSE2 register.
struct sse2_blocks {
  static constexpr std::size_t width8 = 16, width16 = 8;
  static constexpr bool has_pair_blocks = false;
  static bool widen_pair_run(char16_t*&, const unsigned char*&) noexcept { return false; }
  static bool widen_triple_run(char16_t*&, const unsigned char*&) noexcept { return false; }
  PFC_BLOCK_READ static __m128i load(const void* p) noexcept { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

  // Bits of the bytes that end an ASCII run: top bit set, or zero.
  static unsigned ascii_stops(__m128i v) noexcept {
    return static_cast<unsigned>(_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
  }

  // Bits (two per unit) of the units outside 0x01..0x7F.
  static unsigned ascii_unit_stops(__m128i v) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
    const __m128i ok = _mm_andnot_si128(_mm_cmpeq_epi16(v, zero), ascii);
    return ~static_cast<unsigned>(_mm_movemask_epi8(ok)) & 0xFFFFu;
  }

  // Whole blocks of ASCII and of well-formed two- and three-byte sequences,
  // each character counting one unit. The walk stops at a block that holds
  // the terminator or a byte whose rules need a closer look (C0, C1, E0 with
  // its shortest-form test, F0 and above with their longer forms and values
  // beyond 0xFFFF), or whose continuation bytes are not exactly the ones its
  // lead bytes (or those at the end of the block before) announce. Blocks
  // follow each other sixteen bytes apart whatever they hold, so no block
  // waits on the one before; the walk only ever stops at a character start.
  static std::size_t utf8_run_units(const unsigned char*& p) noexcept {
    std::size_t count = 0;
    const __m128i zero = _mm_setzero_si128();
    // Continuation bytes of the accepted blocks, summed in two 64-bit lanes
    // (no processor-specific population count needed).
    __m128i continuations = zero;
    __m128i lead2_before = zero, lead3_before = zero;
    unsigned back = 0; // bytes of a character the last block left unfinished
    while (block_in_page(p, 16)) {
      const __m128i v = load(p);
      const unsigned stops = ascii_stops(v);
      if ((stops | back) == 0) {
        count += 16;
        p += 16;
        lead2_before = lead3_before = zero;
        continue;
      }
      // Signed bytes: 0x80..0xBF are -128..-65, 0xC0..0xFF are -64..-1.
      const __m128i negative = _mm_cmplt_epi8(v, zero);
      const __m128i continuation = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));
      const __m128i lead2 = _mm_andnot_si128(continuation, negative); // 0xC0 and above
      const __m128i lead3 = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-33)), negative);
      const __m128i lead4 = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-17)), negative);
      const __m128i c0_c1 = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xFE))),
                                           _mm_set1_epi8(static_cast<char>(0xC0)));
      const __m128i e0 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xE0)));
      const __m128i closer_look = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, zero), lead4), _mm_or_si128(c0_c1, e0));
      const __m128i wanted =
          _mm_or_si128(_mm_or_si128(_mm_slli_si128(lead2, 1), _mm_slli_si128(lead3, 2)),
                       _mm_or_si128(_mm_srli_si128(lead2_before, 15), _mm_srli_si128(lead3_before, 14)));
      const __m128i wrong = _mm_or_si128(closer_look, _mm_xor_si128(wanted, continuation));
      if (_mm_movemask_epi8(wrong) != 0) {
        if (back == 0) { // the ASCII before the first other byte
          const unsigned n = lowest_bit(stops);
          count += n;
          p += n;
        }
        break;
      }
      // Every byte that is no continuation starts a character.
      continuations = _mm_add_epi64(continuations, _mm_sad_epu8(_mm_and_si128(continuation, _mm_set1_epi8(1)), zero));
      count += 16;
      p += 16;
      const unsigned lead_last = static_cast<unsigned>(_mm_movemask_epi8(lead2)) >> 15;
      const unsigned lead3_before_last = (static_cast<unsigned>(_mm_movemask_epi8(lead3)) >> 14) & 1;
      back = lead_last != 0 ? 1 : 2 * lead3_before_last;
      lead2_before = lead2;
      lead3_before = lead3;
    }
    // A character begun in the last accepted block is left to the caller.
    if (back != 0) {
      p -= back;
      count -= 1;
    }
    const __m128i total = _mm_add_epi64(continuations, _mm_unpackhi_epi64(continuations, continuations));
#if defined(__x86_64__)
    return count - static_cast<std::size_t>(_mm_cvtsi128_si64(total));
#else
    return count - static_cast<std::size_t>(_mm_cvtsi128_si32(total));
#endif
  }

  static bool widen_block(char16_t* out, const unsigned char* p) noexcept {
    const __m128i v = load(p);
    if (ascii_stops(v) != 0) return false;
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(v, zero));
    return true;
  }

  // Whole blocks of eight units without the terminator, each unit counting
  // its UTF-8 length: 1 below 0x80, 2 below 0x800, else 3, and a high
  // surrogate followed by a low one 1 (3 + 1 for the pair's 4 bytes). The
  // unit after the block is looked at for that, so it must be in the page too.
  static std::size_t utf16_run_bytes(const char16_t*& p) noexcept {
    std::size_t count = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i surrogate_bits = _mm_set1_epi16(static_cast<short>(0xFC00));
    // Sums in four 32-bit lanes, each growing by at most 6 a block: emptied
    // into count long before they could wrap.
    __m128i sums = zero;
    unsigned blocks = 0;
    while (block_in_page(p, 18)) {
      const __m128i v = load(p);
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)) != 0) break;
      const __m128i next = load(p + 1);
      // Compare results are -1 where true.
      const __m128i below80 = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
      const __m128i below800 = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800))), zero);
      const __m128i high =
          _mm_cmpeq_epi16(_mm_and_si128(v, surrogate_bits), _mm_set1_epi16(static_cast<short>(0xD800)));
      const __m128i low_next =
          _mm_cmpeq_epi16(_mm_and_si128(next, surrogate_bits), _mm_set1_epi16(static_cast<short>(0xDC00)));
      const __m128i pair = _mm_and_si128(high, low_next);
      const __m128i bytes =
          _mm_add_epi16(_mm_add_epi16(_mm_set1_epi16(3), _mm_add_epi16(below80, below800)), _mm_add_epi16(pair, pair));
      sums = _mm_add_epi32(sums, _mm_madd_epi16(bytes, ones));
      p += 8;
      if (++blocks == (1u << 24)) {
        count += sum_lanes(sums);
        sums = zero;
        blocks = 0;
      }
    }
    return count + sum_lanes(sums);
  }

  static std::size_t sum_lanes(__m128i sums) noexcept {
    const __m128i halves = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, 0x4E));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_add_epi32(halves, _mm_shuffle_epi32(halves, 0xB1))));
  }

  static constexpr bool has_bmp_blocks = true;
  static constexpr std::size_t bmp_room = 25; // output a BMP block may write

  // The UTF-8 forms of four units, one per 32-bit lane, lowest byte first:
  // one, two or three bytes, by the unit's value.
  static __m128i utf8_forms(__m128i units) noexcept {
    const __m128i two = _mm_or_si128(_mm_or_si128(_mm_srli_epi32(units, 6), _mm_set1_epi32(0x80C0)),
                                     _mm_slli_epi32(_mm_and_si128(units, _mm_set1_epi32(0x3F)), 8));
    const __m128i three = _mm_or_si128(_mm_or_si128(_mm_srli_epi32(units, 12), _mm_set1_epi32(0x8080E0)),
                                       _mm_or_si128(_mm_slli_epi32(_mm_and_si128(units, _mm_set1_epi32(0x0FC0)), 2),
                                                    _mm_slli_epi32(_mm_and_si128(units, _mm_set1_epi32(0x3F)), 16)));
    const __m128i from80 = _mm_cmpgt_epi32(units, _mm_set1_epi32(0x7F));
    const __m128i from800 = _mm_cmpgt_epi32(units, _mm_set1_epi32(0x7FF));
    const __m128i one_or_two = _mm_or_si128(_mm_and_si128(from80, two), _mm_andnot_si128(from80, units));
    return _mm_or_si128(_mm_and_si128(from800, three), _mm_andnot_si128(from800, one_or_two));
  }

  // Four lanes stored one after another, each as long as lengths says (two
  // bits a unit, from the lowest): every store writes four bytes, the ones
  // past the form overwritten by the next store or, after the last, by
  // whatever the caller writes next.
  static unsigned char* store_forms(unsigned char* out, __m128i forms, unsigned lengths) noexcept {
    for (int i = 0; i < 4; ++i) {
      const auto value = static_cast<std::uint32_t>(_mm_cvtsi128_si32(forms));
      std::memcpy(out, &value, 4);
      out += 1 + (lengths & 1) + ((lengths >> 1) & 1);
      lengths >>= 2;
      forms = _mm_srli_si128(forms, 4);
    }
    return out;
  }

  // Unit i's one- or two-byte form, stored as two bytes (the second
  // overwritten next when the form is one byte).
  template <int i> static void put_form(unsigned char*& out, __m128i forms, unsigned from80) noexcept {
    const auto value = static_cast<std::uint16_t>(_mm_extract_epi16(forms, i));
    std::memcpy(out, &value, 2);
    out += 1 + ((from80 >> (2 * i)) & 1);
  }

  // Eight units below 0x10000 that are neither the terminator nor a
  // surrogate, as their UTF-8 forms (8 to 24 bytes; up to 25 written, so the
  // output needs room for 25). Returns the bytes of the forms, 0 (with
  // nothing written) for any other block.
  static std::size_t narrow_bmp_block(unsigned char* out, const char16_t* p) noexcept {
    const __m128i v = load(p);
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800)));
    const __m128i refused =
        _mm_or_si128(_mm_cmpeq_epi16(v, zero), _mm_cmpeq_epi16(top, _mm_set1_epi16(static_cast<short>(0xD800))));
    if (_mm_movemask_epi8(refused) != 0) return 0;
    // Per unit, in the two mask bits it has: one bit from 0x80, the other from 0x800.
    const unsigned from80 = ~static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero)));
    const unsigned from800 = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(top, zero)));
    if ((from800 & 0xFFFFu) == 0) { // one- and two-byte forms only: 16-bit lanes suffice
      const __m128i two = _mm_or_si128(_mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(static_cast<short>(0x80C0))),
                                       _mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0x3F)), 8));
      const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
      const __m128i forms = _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, two));
      unsigned char* o = out;
      put_form<0>(o, forms, from80);
      put_form<1>(o, forms, from80);
      put_form<2>(o, forms, from80);
      put_form<3>(o, forms, from80);
      put_form<4>(o, forms, from80);
      put_form<5>(o, forms, from80);
      put_form<6>(o, forms, from80);
      put_form<7>(o, forms, from80);
      return static_cast<std::size_t>(o - out);
    }
    const unsigned lengths = (from80 & 0x5555u) | (from800 & 0xAAAAu);
    unsigned char* end = store_forms(out, utf8_forms(_mm_unpacklo_epi16(v, zero)), lengths & 0xFFu);
    end = store_forms(end, utf8_forms(_mm_unpackhi_epi16(v, zero)), lengths >> 8);
    return static_cast<std::size_t>(end - out);
  }

  static bool narrow_block(char* out, const char16_t* p) noexcept {
    const __m128i v = load(p);
    if (ascii_unit_stops(v) != 0) return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
    return true;
  }
};

// Gathering the units of the characters of a block (dropping the lanes of
// continuation bytes) takes a byte shuffle, which SSSE3 has and SSE2 has not.
// Shuffle controls for eight 16-bit lanes, indexed by the mask of the lanes
// kept: packed to the front, packed to the back; the lanes kept; and a shift
// down by 0 to 8 lanes. A control byte with its top bit set gives zero.
struct pair_tables {
  unsigned char bytes[256][8]; // eight bytes, the ones kept packed to the front
  unsigned char front[256][16];
  unsigned char back[256][16];
  unsigned char kept[256];
  unsigned char down[9][16];
};

constexpr pair_tables make_pair_tables() {
  pair_tables t{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned count = 0;
    for (unsigned lane = 0; lane < 8; ++lane)
      count += (mask >> lane) & 1;
    t.kept[mask] = static_cast<unsigned char>(count);
    for (unsigned i = 0; i < 16; ++i)
      t.front[mask][i] = t.back[mask][i] = 0x80;
    unsigned k = 0;
    for (unsigned i = 0; i < 8; ++i)
      t.bytes[mask][i] = 0x80;
    for (unsigned i = 0; i < 8; ++i)
      if (((mask >> i) & 1) != 0) t.bytes[mask][k++] = static_cast<unsigned char>(i);
    k = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if (((mask >> lane) & 1) == 0) continue;
      for (unsigned half = 0; half < 2; ++half) {
        t.front[mask][2 * k + half] = static_cast<unsigned char>(2 * lane + half);
        t.back[mask][2 * (8 - count + k) + half] = static_cast<unsigned char>(2 * lane + half);
      }
      ++k;
    }
  }
  for (unsigned by = 0; by <= 8; ++by)
    for (unsigned lane = 0; lane < 8; ++lane)
      for (unsigned half = 0; half < 2; ++half)
        t.down[by][2 * lane + half] = lane + by < 8 ? static_cast<unsigned char>(2 * (lane + by) + half) : 0x80;
  return t;
}

alignas(16) constexpr pair_tables pair_table = make_pair_tables();

#if defined(__clang__) || defined(__GNUC__)
#define PFC_SSSE3 __attribute__((target("ssse3")))
#endif

inline __m128i table_row(const unsigned char (&row)[16]) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
}

// SSE2 blocks, and whole blocks of ASCII and two-byte characters converted
// sixteen bytes at a time, on processors with SSSE3.
struct ssse3_blocks : sse2_blocks {
  static constexpr bool has_pair_blocks = true;

  // Blocks of ASCII and of two-byte sequences with the leads C2 to DF (no
  // closer look needed), each continuation byte right after its lead, with
  // neither the terminator nor any other byte: their characters as units.
  // A lead in a block's last byte is left to the next block. The walk stops
  // before the first block that does not qualify, so always at a character
  // start; returns whether it converted any block.
  //
  // Each block's units are stored by two 8-unit stores that end exactly where
  // its units end (a block of 15 or 16 bytes has at least 8 characters): the
  // first half's units from the block's first unit, then the last eight units
  // ending at the block's last, so nothing is written past them.
  PFC_SSSE3 PFC_BLOCK_READ static bool widen_pair_run(char16_t*& out, const unsigned char*& text) noexcept {
    const unsigned char* p = text;
    char16_t* o = out;
    const __m128i zero = _mm_setzero_si128();
    while (block_in_page(p, 16)) {
      const __m128i v = load(p);
      // Signed bytes: 0x01..0x7F are above 0, 0x80..0xBF below -64, C2..DF -62..-33.
      const __m128i ascii = _mm_cmpgt_epi8(v, zero);
      const __m128i continuation = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));
      const __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-63)), _mm_cmplt_epi8(v, _mm_set1_epi8(-32)));
      if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(ascii, continuation), lead)) != 0xFFFF ||
          _mm_movemask_epi8(_mm_xor_si128(continuation, _mm_slli_si128(lead, 1))) != 0)
        break;
      unsigned keep = ~static_cast<unsigned>(_mm_movemask_epi8(continuation)) & 0xFFFFu;
      std::size_t consumed = 16;
      if ((_mm_movemask_epi8(lead) & 0x8000) != 0) {
        keep &= 0x7FFFu;
        consumed = 15;
      }
      const __m128i next = _mm_srli_si128(v, 1);
      const __m128i payload = _mm_set1_epi16(0x3F), lead_payload = _mm_set1_epi16(0x1F);
      const auto units = [&](__m128i bytes, __m128i following, __m128i is_lead) {
        const __m128i two =
            _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, lead_payload), 6), _mm_and_si128(following, payload));
        return _mm_or_si128(_mm_and_si128(is_lead, two), _mm_andnot_si128(is_lead, bytes));
      };
      const __m128i low =
          units(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(next, zero), _mm_unpacklo_epi8(lead, lead));
      const __m128i high =
          units(_mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(next, zero), _mm_unpackhi_epi8(lead, lead));
      const unsigned low_keep = keep & 0xFFu, high_keep = keep >> 8;
      const unsigned low_count = pair_table.kept[low_keep], high_count = pair_table.kept[high_keep];
      const std::size_t count = low_count + high_count;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(low, table_row(pair_table.front[low_keep])));
      const __m128i low_tail = _mm_shuffle_epi8(_mm_shuffle_epi8(low, table_row(pair_table.back[low_keep])),
                                                table_row(pair_table.down[high_count]));
      const __m128i last_eight = _mm_or_si128(low_tail, _mm_shuffle_epi8(high, table_row(pair_table.back[high_keep])));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + count - 8), last_eight);
      o += count;
      p += consumed;
    }
    const bool converted = p != text;
    text = p;
    out = o;
    return converted;
  }

  // Runs of three-byte sequences with the leads E1 to EF (no closer look
  // needed), four characters (twelve bytes) at a time: each character's
  // bytes gathered into a 32-bit lane, tested and combined there, and the
  // four units stored whole. Stops before four characters that are not all
  // such; returns whether it converted any.
  PFC_SSSE3 PFC_BLOCK_READ static bool widen_triple_run(char16_t*& out, const unsigned char*& text) noexcept {
    const unsigned char* p = text;
    char16_t* o = out;
    const __m128i gather = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i low_halves = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    while (block_in_page(p, 16)) {
      const __m128i x = _mm_shuffle_epi8(load(p), gather);
      // Lead 1110xxxx other than E0, then two continuation bytes.
      const __m128i form = _mm_cmpeq_epi32(_mm_and_si128(x, _mm_set1_epi32(0x00C0C0F0)), _mm_set1_epi32(0x008080E0));
      const __m128i e0 = _mm_cmpeq_epi32(_mm_and_si128(x, _mm_set1_epi32(0xFF)), _mm_set1_epi32(0xE0));
      if (_mm_movemask_epi8(_mm_andnot_si128(e0, form)) != 0xFFFF) break;
      const __m128i units = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(x, _mm_set1_epi32(0x0F)), 12),
                                                      _mm_srli_epi32(_mm_and_si128(x, _mm_set1_epi32(0x3F00)), 2)),
                                         _mm_srli_epi32(_mm_and_si128(x, _mm_set1_epi32(0x3F0000)), 16));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(units, low_halves));
      o += 4;
      p += 12;
    }
    const bool converted = p != text;
    text = p;
    out = o;
    return converted;
  }
};

// The UTF-16 to UTF-8 blocks with the same shuffles: each unit's form is
// written whole in its lane, then the bytes kept (by a mask, one bit a byte)
// gathered, eight of the sixteen at a time, and stored eight bytes at a time.
struct ssse3_narrow_blocks : ssse3_blocks {
  // The last 8-byte store may start 22 bytes in (after 8 units of up to 3).
  static constexpr std::size_t bmp_room = 30;

  PFC_SSSE3 static unsigned char* store_kept(unsigned char* out, __m128i bytes, unsigned keep) noexcept {
    const unsigned low = keep & 0xFFu, high = keep >> 8;
    const __m128i low_control = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pair_table.bytes[low]));
    const __m128i high_control =
        _mm_add_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pair_table.bytes[high])), _mm_set1_epi8(8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, low_control));
    out += pair_table.kept[low];
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, high_control));
    return out + pair_table.kept[high];
  }

  // The first bytes of four 32-bit lanes of forms: one, and one more from
  // 0x80 and from 0x800.
  PFC_SSSE3 static unsigned kept_of_forms(__m128i units) noexcept {
    const __m128i from80 = _mm_cmpgt_epi32(units, _mm_set1_epi32(0x7F));
    const __m128i from800 = _mm_cmpgt_epi32(units, _mm_set1_epi32(0x7FF));
    const __m128i kept =
        _mm_or_si128(_mm_set1_epi32(0xFF), _mm_or_si128(_mm_and_si128(from80, _mm_set1_epi32(0xFF00)),
                                                        _mm_and_si128(from800, _mm_set1_epi32(0xFF0000))));
    return static_cast<unsigned>(_mm_movemask_epi8(kept));
  }

  // As sse2_blocks::narrow_bmp_block, writing up to bmp_room bytes.
  PFC_SSSE3 PFC_BLOCK_READ static std::size_t narrow_bmp_block(unsigned char* out, const char16_t* p) noexcept {
    const __m128i v = load(p);
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800)));
    const __m128i refused =
        _mm_or_si128(_mm_cmpeq_epi16(v, zero), _mm_cmpeq_epi16(top, _mm_set1_epi16(static_cast<short>(0xD800))));
    if (_mm_movemask_epi8(refused) != 0) return 0;
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(top, zero)) == 0xFFFF) { // one- and two-byte forms only
      const __m128i two = _mm_or_si128(_mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(static_cast<short>(0x80C0))),
                                       _mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0x3F)), 8));
      const __m128i forms = _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, two));
      // Each unit's first byte, and its second unless it is ASCII.
      const unsigned keep = 0x5555u | (~static_cast<unsigned>(_mm_movemask_epi8(ascii)) & 0xAAAAu);
      return static_cast<std::size_t>(store_kept(out, forms, keep) - out);
    }
    const __m128i low = _mm_unpacklo_epi16(v, zero), high = _mm_unpackhi_epi16(v, zero);
    unsigned char* end = store_kept(out, utf8_forms(low), kept_of_forms(low));
    end = store_kept(end, utf8_forms(high), kept_of_forms(high));
    return static_cast<std::size_t>(end - out);
  }
};

bool cpu_has_ssse3() noexcept {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_SSSE3) != 0;
}
const bool has_ssse3 = cpu_has_ssse3();

using fast_blocks = sse2_blocks;
#else
using fast_blocks = word_blocks;
#endif

template <typename Blocks> std::size_t utf8_to_utf16_size_with(const char* text) noexcept {
  auto p = reinterpret_cast<const unsigned char*>(text);
  std::size_t units = 1;
  for (;;) {
    units += Blocks::utf8_run_units(p);
    const unsigned b0 = p[0];
    if (is_ascii(b0)) {
      ++p;
      ++units;
      continue;
    }
    // Two-byte leads other than C0/C1, and three-byte leads other than E0,
    // need no test beyond their continuation bytes; each is looked at only
    // after the one before it proved not to be the terminator.
    if (b0 - 0xC2u < 0x1Eu) {
      if ((p[1] & 0xC0) != 0x80) break;
      p += 2;
      ++units;
      continue;
    }
    if (b0 - 0xE1u < 0x0Fu) {
      if ((p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) break;
      p += 3;
      ++units;
      continue;
    }
    std::uint32_t c;
    const std::size_t len = decode(p, no_bound, c);
    if (len == 0 || c == 0) break;
    p += len;
    units += (c >= 0x10000 && c <= 0x10FFFF) ? 2 : 1;
  }
  return units;
}

// stop, when not null, receives where the conversion ended: at the
// terminator, or at the first byte of a malformed sequence.
template <typename Blocks>
std::size_t utf8_to_utf16_with(char16_t* out, const char* text, const char** stop = nullptr) noexcept {
  auto p = reinterpret_cast<const unsigned char*>(text);
  char16_t* o = out;
  for (;;) {
    const unsigned b0 = p[0];
    if (is_ascii(b0)) {
      // A whole block when the run is long; otherwise the run byte by byte,
      // with no second block test until the next run.
      if (block_in_page(p, Blocks::width8) && Blocks::widen_block(o, p)) {
        o += Blocks::width8;
        p += Blocks::width8;
        continue;
      }
      if constexpr (Blocks::has_pair_blocks) { // ASCII mixed with two-byte characters
        if (Blocks::widen_pair_run(o, p)) continue;
      }
      unsigned b = b0;
      do {
        *o++ = static_cast<char16_t>(b);
        b = *++p;
      } while (is_ascii(b));
      continue;
    }
    if (b0 == 0) break;
    if constexpr (Blocks::has_pair_blocks) {
      if (b0 - 0xC2u < 0x1Eu && Blocks::widen_pair_run(o, p)) continue;
      if (b0 - 0xE1u < 0x0Fu && Blocks::widen_triple_run(o, p)) continue;
    }
    // Two-byte leads other than C0/C1, and three-byte leads other than E0,
    // need no test beyond their continuation bytes, each looked at only after
    // the one before it proved not to be the terminator. A run of them stays
    // in this loop.
    unsigned lead = b0;
    for (;;) {
      if (lead - 0xC2u < 0x1Eu) {
        const unsigned b1 = p[1];
        if ((b1 & 0xC0) != 0x80) break;
        *o++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (b1 & 0x3F));
        p += 2;
      } else if (lead - 0xE1u < 0x0Fu) {
        const unsigned b1 = p[1];
        if ((b1 & 0xC0) != 0x80) break;
        const unsigned b2 = p[2];
        if ((b2 & 0xC0) != 0x80) break;
        *o++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
        p += 3;
      } else {
        break;
      }
      lead = *p;
    }
    if (lead < 0x80) continue; // ASCII or the terminator: the outer loop decides
    std::uint32_t c;
    const std::size_t len = decode(p, no_bound, c);
    if (len == 0 || c == 0) break;
    p += len;
    if (c < 0x10000) {
      *o++ = static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      const std::uint32_t v = c - 0x10000;
      *o++ = static_cast<char16_t>(0xD800 | ((v >> 10) & 0x3FF));
      *o++ = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    } else {
      *o++ = u'?';
    }
  }
  *o = 0;
  if (stop != nullptr) *stop = reinterpret_cast<const char*>(p);
  return static_cast<std::size_t>(o - out);
}

template <typename Blocks> std::size_t utf16_to_utf8_size_with(const char16_t* text) noexcept {
  std::size_t bytes = 1;
  for (;;) {
    bytes += Blocks::utf16_run_bytes(text);
    const std::uint32_t u = text[0];
    if (u == 0) break;
    if (u < 0x80) {
      bytes += 1;
    } else if (u < 0x800) {
      bytes += 2;
    } else if ((u & 0xFC00) == 0xD800 && (text[1] & 0xFC00) == 0xDC00) {
      bytes += 4;
      ++text;
    } else {
      bytes += 3; // lone surrogates included
    }
    ++text;
  }
  return bytes;
}

template <typename Blocks>
std::size_t utf16_to_utf8_with(char* out, std::size_t capacity, const char16_t* text) noexcept {
  std::size_t written = 0;
  while (written < capacity) {
    const std::uint32_t u = text[0];
    if (is_ascii(u)) {
      if (capacity - written >= Blocks::width16 && block_in_page(text, 2 * Blocks::width16) &&
          Blocks::narrow_block(out + written, text)) {
        written += Blocks::width16;
        text += Blocks::width16;
        continue;
      }
      if constexpr (Blocks::has_bmp_blocks) { // ASCII mixed with other characters
        if (capacity - written >= Blocks::bmp_room && block_in_page(text, 16)) {
          const std::size_t bytes = Blocks::narrow_bmp_block(reinterpret_cast<unsigned char*>(out) + written, text);
          if (bytes != 0) {
            written += bytes;
            text += 8;
            continue;
          }
        }
      }
      std::uint32_t a = u;
      do {
        out[written++] = static_cast<char>(a);
        a = *++text;
      } while (is_ascii(a) && written < capacity);
      continue;
    }
    if (u == 0) break;
    if (capacity - written >= 4) {
      // Room for any character: write them in place for as long as they are
      // not ASCII (a run of CJK stays in this loop).
      auto o = reinterpret_cast<unsigned char*>(out);
      std::uint32_t w = u;
      do {
        if constexpr (Blocks::has_bmp_blocks) {
          if (capacity - written >= Blocks::bmp_room && block_in_page(text, 16)) {
            const std::size_t bytes = Blocks::narrow_bmp_block(o + written, text);
            if (bytes != 0) {
              written += bytes;
              text += 8;
              w = *text;
              continue;
            }
          }
        }
        if (w < 0x800) {
          o[written] = static_cast<unsigned char>(0xC0 | (w >> 6));
          o[written + 1] = static_cast<unsigned char>(0x80 | (w & 0x3F));
          written += 2;
        } else if ((w & 0xFC00) != 0xD800 || (text[1] & 0xFC00) != 0xDC00) {
          o[written] = static_cast<unsigned char>(0xE0 | (w >> 12));
          o[written + 1] = static_cast<unsigned char>(0x80 | ((w >> 6) & 0x3F));
          o[written + 2] = static_cast<unsigned char>(0x80 | (w & 0x3F));
          written += 3; // lone surrogates too
        } else {
          const std::uint32_t c = (((w & 0x3FF) << 10) | (text[1] & 0x3FFu)) + 0x10000;
          o[written] = static_cast<unsigned char>(0xF0 | (c >> 18));
          o[written + 1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
          o[written + 2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
          o[written + 3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
          written += 4;
          ++text;
        }
        w = *++text;
      } while (w >= 0x80 && capacity - written >= 4);
      continue;
    }
    // Near the capacity: as many bytes of the character as still fit.
    std::uint32_t c;
    const std::size_t len = decode_utf16_sequence(text, c);
    text += len;
    char scratch[6];
    const std::size_t encoded = encode_utf8_sequence(c, scratch);
    const std::size_t room = capacity - written;
    const std::size_t take = encoded < room ? encoded : room;
    for (std::size_t i = 0; i < take; ++i)
      out[written + i] = scratch[i];
    written += take;
  }
  if (capacity == 0) return 0;
  const std::size_t p = written < capacity - 1 ? written : capacity - 1;
  out[p] = '\0';
  return p;
}

#if defined(__SSE2__)
// The whole conversions built for SSSE3, so that the block functions are
// inlined into their loops instead of called at every run.
PFC_SSSE3 __attribute__((flatten)) std::size_t utf8_to_utf16_ssse3(char16_t* out, const char* text,
                                                                   const char** stop = nullptr) noexcept {
  return utf8_to_utf16_with<ssse3_blocks>(out, text, stop);
}
PFC_SSSE3 __attribute__((flatten)) std::size_t utf16_to_utf8_ssse3(char* out, std::size_t capacity,
                                                                   const char16_t* text) noexcept {
  return utf16_to_utf8_with<ssse3_narrow_blocks>(out, capacity, text);
}
#endif

} // namespace

std::size_t utf8_to_utf16_size(const char* text) noexcept { return utf8_to_utf16_size_with<fast_blocks>(text); }
std::size_t utf8_to_utf16(char16_t* out, const char* text) noexcept {
#if defined(__SSE2__)
  if (has_ssse3) return utf8_to_utf16_ssse3(out, text);
#endif
  return utf8_to_utf16_with<fast_blocks>(out, text);
}

std::size_t utf8_to_utf16_fitted(char16_t* out, std::size_t capacity, const char* text,
                                 std::size_t& consumed) noexcept {
  consumed = 0;
  if (capacity == 0) return 0;
  // What fits whole takes the block-wise path; only a text that must be cut
  // is walked a character at a time to find the last one that fits.
  if (utf8_to_utf16_size(text) <= capacity) {
    const char* stop = text;
#if defined(__SSE2__)
    const std::size_t units =
        has_ssse3 ? utf8_to_utf16_ssse3(out, text, &stop) : utf8_to_utf16_with<fast_blocks>(out, text, &stop);
#else
    const std::size_t units = utf8_to_utf16_with<fast_blocks>(out, text, &stop);
#endif
    consumed = static_cast<std::size_t>(stop - text);
    return units;
  }
  auto p = reinterpret_cast<const unsigned char*>(text);
  std::size_t units = 0;
  for (;;) {
    std::uint32_t c;
    const std::size_t len = decode(p, no_bound, c);
    if (len == 0 || c == 0) break;
    const bool pair = c >= 0x10000 && c <= 0x10FFFF;
    if (units + (pair ? 2 : 1) >= capacity) break; // the terminator needs its unit too
    if (c < 0x10000) {
      out[units++] = static_cast<char16_t>(c);
    } else if (pair) {
      const std::uint32_t v = c - 0x10000;
      out[units++] = static_cast<char16_t>(0xD800 | (v >> 10));
      out[units++] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    } else {
      out[units++] = u'?';
    }
    p += len;
  }
  out[units] = 0;
  consumed = static_cast<std::size_t>(reinterpret_cast<const char*>(p) - text);
  return units;
}

std::size_t utf16_to_utf8_size(const char16_t* text) noexcept { return utf16_to_utf8_size_with<fast_blocks>(text); }
std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text) noexcept {
#if defined(__SSE2__)
  if (has_ssse3) return utf16_to_utf8_ssse3(out, capacity, text);
#endif
  return utf16_to_utf8_with<fast_blocks>(out, capacity, text);
}

#if defined(__SSE2__)
namespace sse2 {
std::size_t utf8_to_utf16_size(const char* text) noexcept { return utf8_to_utf16_size_with<sse2_blocks>(text); }
std::size_t utf8_to_utf16(char16_t* out, const char* text) noexcept {
  return utf8_to_utf16_with<sse2_blocks>(out, text);
}
std::size_t utf16_to_utf8_size(const char16_t* text) noexcept { return utf16_to_utf8_size_with<sse2_blocks>(text); }
std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text) noexcept {
  return utf16_to_utf8_with<sse2_blocks>(out, capacity, text);
}
} // namespace sse2
#endif

namespace portable {
std::size_t utf8_to_utf16_size(const char* text) noexcept { return utf8_to_utf16_size_with<word_blocks>(text); }
std::size_t utf8_to_utf16(char16_t* out, const char* text) noexcept {
  return utf8_to_utf16_with<word_blocks>(out, text);
}
std::size_t utf16_to_utf8_size(const char16_t* text) noexcept { return utf16_to_utf8_size_with<word_blocks>(text); }
std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text) noexcept {
  return utf16_to_utf8_with<word_blocks>(out, capacity, text);
}
} // namespace portable

} // namespace pfc
