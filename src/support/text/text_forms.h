// The forms of the text work that differ by instruction set, gathered in one
// table per form, and the one form chosen for this processor. Every form does
// exactly what the scalar form (the reference) does; the others only do it
// faster on the processors that have their instructions.
#pragma once
#include "support/text/cpu_features.h"

#include <cstddef>

namespace pfc::text {

struct text_form {
  const char* name;

  // The n bytes of text (text[n] is its terminator, no zero byte comes
  // before it) as utf8_to_utf16 converts them, up to the first malformed
  // sequence. Writes the units it returns and nothing else (no terminator);
  // consumed is the bytes they came from.
  std::size_t (*utf8_to_utf16)(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept;

  // The first capacity bytes (or all, when fewer) of the UTF-8 form of the n
  // units of text (text[n] is its terminator, no zero unit comes before it);
  // the cut may fall inside a sequence; no terminator. Returns the bytes.
  std::size_t (*utf16_to_utf8)(char* out, std::size_t capacity, const char16_t* text, std::size_t n) noexcept;

  // False only when the n bytes certainly hold neither a '|' nor a control
  // byte (below 0x20, and 0x7F); may be true for other bytes too.
  bool (*title_may_need_care)(const char* text, std::size_t n) noexcept;

  // The n bytes with each '|' written as U+00A6 (C2 A6) and each control
  // byte as a blank; returns the end of what it wrote.
  char* (*copy_neutralised)(char* out, const char* text, std::size_t n) noexcept;
};

// The fastest form whose instructions the features include.
const text_form& form_for(const cpu_features& features) noexcept;

// form_for this processor, probed the first time it is asked for.
const text_form& chosen_form() noexcept;

} // namespace pfc::text
