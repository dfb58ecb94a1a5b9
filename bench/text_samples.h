// Titles as the component meets them: 10 to 300 bytes of ASCII, of European
// text with accents, of CJK with a few ASCII separators, and of text with
// emoji, each cut at a character boundary to at most the size asked for.
#pragma once
#include <string>

namespace bench {

inline constexpr int title_sizes[] = {10, 30, 100, 200, 300};
inline constexpr const char* mix_names[] = {"ascii", "latin", "cjk", "emoji"};

inline std::string title_sample(int mix, std::size_t bytes) {
  static const char* const pieces[] = {
      "The Quick Brown Fox - Jumps Over (Live at the Lazy Dog, 1999) ",
      "Fran\xC3\xA7ois \xC3\xA9\x63oute L\xE2\x80\x99\xC3\xA9t\xC3\xA9 \xC3\xA0 Z\xC3\xBCrich - Gr\xC3\xBC\xC3\x9F\x65 "
      "aus M\xC3\xBCnchen ",
      "\xE5\xA4\x9C\xE3\x81\xAB\xE9\xA7\x86\xE3\x81\x91\xE3\x82\x8B - \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81"
      "\xAE\xE6\xAD\x8C\xE8\xA9\x9E\xE3\x80\x81\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98 ",
      "Happy \xF0\x9F\x8E\xB5 Song \xF0\x9F\x94\xA5\xF0\x9F\x94\xA5 - Party \xF0\x9F\x8E\x89 Mix "};
  std::string text;
  while (text.size() < bytes)
    text += pieces[mix];
  text.resize(bytes);
  // Never half a character at the end.
  std::size_t start = text.size();
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
    --start;
  if (start > 0 && static_cast<unsigned char>(text[start - 1]) >= 0xC0) {
    const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (text.size() - (start - 1) < length) text.resize(start - 1);
  }
  return text;
}

} // namespace bench
