// UTF-8 text from outside (a settings file, a typed pattern, a tag) must never
// make the conversion read past its terminator or bound, or write past the
// size function's answer; the size function and the conversion must agree,
// the conversion must give what the character-by-character rules give, and
// the fitted conversion must cut at a whole character.
#include "support/utf8_convert.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
struct free_deleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T> std::unique_ptr<T[], free_deleter> exact(std::size_t count) {
  // Exactly sized heap blocks: AddressSanitizer sees any byte beyond them.
  return std::unique_ptr<T[], free_deleter>(static_cast<T*>(std::malloc(count * sizeof(T))));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The whole input as a terminated text (stopping at any zero inside it).
  auto text = exact<char>(size + 1);
  std::memcpy(text.get(), data, size);
  text[size] = '\0';

  const std::size_t units = pfc::utf8_to_utf16_size(text.get());
  if (units < 1 || units > size + 1) std::abort();
  auto out = exact<char16_t>(units);
  const std::size_t written = pfc::utf8_to_utf16(out.get(), text.get());
  if (written + 1 != units || out[written] != 0) std::abort();
  for (std::size_t i = 0; i < written; ++i)
    if (out[i] == 0) std::abort();

  // Cut to a capacity the first byte chooses: the whole characters that fit.
  const std::size_t capacity = size == 0 ? 0 : data[0] % (units + 2);
  auto fitted = exact<char16_t>(capacity == 0 ? 1 : capacity);
  std::size_t taken = 0;
  const std::size_t fitted_units = pfc::utf8_to_utf16_fitted(fitted.get(), capacity, text.get(), taken);
  if (capacity == 0) {
    if (fitted_units != 0 || taken != 0) std::abort();
  } else {
    if (fitted_units >= capacity || fitted[fitted_units] != 0) std::abort();
    if (std::memcmp(fitted.get(), out.get(), fitted_units * sizeof(char16_t)) != 0) std::abort();
    if (fitted_units < written) {
      const bool pair = (out[fitted_units] & 0xFC00) == 0xD800 && fitted_units + 1 < written &&
                        (out[fitted_units + 1] & 0xFC00) == 0xDC00;
      if (fitted_units + (pair ? 2 : 1) < capacity) std::abort(); // the next character would have fitted
    } else if (pfc::utf8_to_utf16_size(text.get() + taken) != 1) {
      std::abort(); // all of it fitted: it stops only at the end or at bytes that are not UTF-8
    }
    // The bytes taken are exactly those of the units written.
    auto prefix = exact<char>(taken + 1);
    std::memcpy(prefix.get(), text.get(), taken);
    prefix[taken] = '\0';
    if (pfc::utf8_to_utf16_size(prefix.get()) != fitted_units + 1) std::abort();
  }

  std::size_t k = 0;
  std::uint32_t c;
  for (const char* p = text.get(); const std::size_t len = pfc::decode_utf8_sequence(p, c); p += len) {
    if (c == 0) break;
    if (c >= 0x10000 && c <= 0x10FFFF) {
      if (k + 1 >= written || out[k] != static_cast<char16_t>(0xD800 | ((c - 0x10000) >> 10)) ||
          out[k + 1] != static_cast<char16_t>(0xDC00 | ((c - 0x10000) & 0x3FF)))
        std::abort();
      k += 2;
    } else {
      if (k >= written || out[k] != (c > 0x10FFFF ? u'?' : static_cast<char16_t>(c))) std::abort();
      k += 1;
    }
  }
  if (k != written) std::abort();

  // Sequence by sequence: the bounded decoder with the exact remaining length
  // (no terminator in reach) agrees with the unbounded one wherever the
  // sequence fits, and reads nothing beyond the bound.
  const std::size_t length = std::strlen(text.get());
  auto unterminated = exact<char>(length == 0 ? 1 : length);
  std::memcpy(unterminated.get(), text.get(), length);
  std::size_t at = 0;
  while (at < length) {
    std::uint32_t bounded_cp = 0, free_cp = 0;
    const std::size_t bounded = pfc::decode_utf8_sequence_bounded(unterminated.get() + at, length - at, bounded_cp);
    const std::size_t unbounded = pfc::decode_utf8_sequence(text.get() + at, free_cp);
    if (bounded != unbounded || bounded_cp != free_cp) std::abort();
    if (unbounded == 0) break;
    char again[6];
    // Everything decoded re-encodes to some form of at most the same length.
    const std::size_t encoded = pfc::encode_utf8_sequence(free_cp, again);
    if (encoded == 0 || encoded > unbounded) std::abort();
    at += unbounded;
  }
  return 0;
}
