// UTF-8 <-> UTF-16 conversion by the component's own rules: six-byte UTF-8
// forms, surrogate values passed through, "?" for what UTF-16 cannot carry.
// No allocation, no errors: a malformed sequence ends the text.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pfc {

// Bytes of the sequence at the start of text (1 to 6), or 0 at the terminator
// or a malformed sequence (code_point is then 0).
std::size_t decode_utf8_sequence(const char* text, std::uint32_t& code_point) noexcept;
// As above, but reads no byte at or beyond max_bytes.
std::size_t decode_utf8_sequence_bounded(const char* text, std::size_t max_bytes, std::uint32_t& code_point) noexcept;
// Bytes of the encoding of code_point (1 to 6), written to out (room for six)
// unless out is null; 0 above 0x7FFFFFFF.
std::size_t encode_utf8_sequence(std::uint32_t code_point, char* out) noexcept;
// Units of the character at the start of text: 1 or 2, 0 at the terminator.
std::size_t decode_utf16_sequence(const char16_t* text, std::uint32_t& code_point) noexcept;

// Units utf8_to_utf16 writes for text, terminator included.
std::size_t utf8_to_utf16_size(const char* text) noexcept;
// out must hold utf8_to_utf16_size(text) units. Returns the units before the terminator.
std::size_t utf8_to_utf16(char16_t* out, const char* text) noexcept;
// The whole characters at the start of text that fit in capacity units with
// the terminator, converted as utf8_to_utf16 converts them (never half of a
// surrogate pair); writes nothing when capacity is 0. Returns the units
// before the terminator; consumed is the bytes of text they came from, which
// fall short of its length where it had to be cut or holds a malformed
// sequence.
std::size_t utf8_to_utf16_fitted(char16_t* out, std::size_t capacity, const char* text, std::size_t& consumed) noexcept;
// Bytes of the full UTF-8 form of text, terminator included.
std::size_t utf16_to_utf8_size(const char16_t* text) noexcept;
// Writes at most capacity bytes, always terminated when capacity is not 0; the
// cut may fall inside a sequence. Returns the bytes before the terminator.
std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text) noexcept;

} // namespace pfc
