#include "text_win32.h"
#include "host/shared_api.h"
#include "text_sink.h"

#include <windows.h>

std::string to_utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring to_utf16(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string system_error_text(unsigned long code) {
  // Worded by the player's own support library, as every system error it shows.
  text_sink text;
  std::string words;
  if (uFormatSystemErrorMessage(text, static_cast<std::uint32_t>(code)) != 0) words = text.text();
  while (!words.empty() && (words.back() == ' ' || words.back() == '.'))
    words.pop_back();
  if (words.empty()) return "error " + std::to_string(code);
  return words + " (error " + std::to_string(code) + ")";
}
