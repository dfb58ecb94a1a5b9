#include "shared_block_win32.h"

#include "announcer/mirc_interface.h"
#include "handle_owner_win32.h"

#include <cstring>
#include <cwchar>

#include <windows.h>

namespace {

constexpr std::size_t block_size = mirc_interface::block_size;

std::string utf8_of(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], n, nullptr, nullptr);
  return out;
}

} // namespace

block_read read_shared_block(long index, bool utf16) {
  block_read result;
  const std::string number = index != 0 ? std::to_string(index) : std::string();
  const std::wstring name = L"mIRC" + std::wstring(number.begin(), number.end());
  const owned_handle section(OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
  if (!section.get()) {
    result.reason = "no shared block mIRC" + number + " (error " + std::to_string(GetLastError()) + ")";
    return result;
  }
  const owned_view view(MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, block_size));
  if (!view.get()) {
    result.reason = "cannot map the shared block (error " + std::to_string(GetLastError()) + ")";
    return result;
  }
  if (utf16) {
    const wchar_t* text = static_cast<const wchar_t*>(view.get());
    const std::size_t limit = block_size / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < limit && text[length] != L'\0')
      ++length;
    result.unterminated = length == limit;
    result.text = utf8_of(text, length);
  } else {
    const char* text = static_cast<const char*>(view.get());
    const void* zero = std::memchr(text, 0, block_size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : block_size;
    result.unterminated = zero == nullptr;
    result.text.assign(text, length);
  }
  result.ok = true;
  return result;
}
