// Any UTF-16 text converts, within any capacity, to a terminated prefix of its
// full UTF-8 form, never writing past the capacity nor reading past the
// terminator; with the size function's answer as capacity it converts whole
// and survives the way back unchanged.
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
  return std::unique_ptr<T[], free_deleter>(static_cast<T*>(std::malloc((count == 0 ? 1 : count) * sizeof(T))));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First two bytes choose the cut capacity; the rest are the units.
  const std::size_t cut = data[0] | (data[1] << 8);
  data += 2;
  size -= 2;
  const std::size_t count = size / 2;
  auto text = exact<char16_t>(count + 1);
  for (std::size_t i = 0; i < count; ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  text[count] = 0;

  const std::size_t full_size = pfc::utf16_to_utf8_size(text.get());
  if (full_size < 1 || full_size > count * 3 + 1) std::abort();
  auto full = exact<char>(full_size);
  const std::size_t full_length = pfc::utf16_to_utf8(full.get(), full_size, text.get());
  if (full_length + 1 != full_size || full[full_length] != '\0') std::abort();

  // The character-by-character rules give the same bytes.
  {
    std::size_t k = 0;
    std::uint32_t c;
    for (const char16_t* p = text.get(); const std::size_t len = pfc::decode_utf16_sequence(p, c); p += len) {
      char bytes[6];
      const std::size_t n = pfc::encode_utf8_sequence(c, bytes);
      if (k + n > full_length || std::memcmp(full.get() + k, bytes, n) != 0) std::abort();
      k += n;
    }
    if (k != full_length) std::abort();
  }

  const std::size_t capacity = cut % (full_size + 2);
  auto part = exact<char>(capacity);
  const std::size_t part_length = pfc::utf16_to_utf8(part.get(), capacity, text.get());
  std::size_t units = 0;
  while (text[units] != 0)
    ++units;
  if (capacity == 0) {
    if (part_length != 0) std::abort();
  } else {
    const std::size_t expected = full_length < capacity - 1 ? full_length : capacity - 1;
    if (part_length != expected || part[part_length] != '\0') std::abort();
    if (std::memcmp(part.get(), full.get(), part_length) != 0) std::abort();
  }

  // The way back: the units up to the first zero unit, unchanged.
  const std::size_t back_size = pfc::utf8_to_utf16_size(full.get());
  if (back_size != units + 1) std::abort();
  auto back = exact<char16_t>(back_size);
  if (pfc::utf8_to_utf16(back.get(), full.get()) != units) std::abort();
  if (std::memcmp(back.get(), text.get(), units * sizeof(char16_t)) != 0) std::abort();
  return 0;
}
