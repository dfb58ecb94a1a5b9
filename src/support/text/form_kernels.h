// The functions each form's table is made of, one namespace per instruction
// set, each defined in the file of that name (utf_scalar.cpp, utf_sse2.cpp,
// ...); their contracts are the table's (text_forms.h). Only the tables use
// them: everything else reaches a form through form_for or chosen_form.
#pragma once
#include <cstddef>

namespace pfc::text {

namespace scalar {
std::size_t utf8_to_utf16(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept;
std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text, std::size_t n) noexcept;
bool title_may_need_care(const char* text, std::size_t n) noexcept;
char* copy_neutralised(char* out, const char* text, std::size_t n) noexcept;
} // namespace scalar

#if defined(__i386__) || defined(__x86_64__)
namespace sse2 {
std::size_t utf8_to_utf16(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept;
std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text, std::size_t n) noexcept;
bool title_may_need_care(const char* text, std::size_t n) noexcept;
char* copy_neutralised(char* out, const char* text, std::size_t n) noexcept;
} // namespace sse2

namespace ssse3 {
std::size_t utf8_to_utf16(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept;
} // namespace ssse3

namespace avx2 {
bool title_may_need_care(const char* text, std::size_t n) noexcept;
} // namespace avx2
#endif

} // namespace pfc::text
