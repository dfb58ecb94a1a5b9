// UTF-8 <-> UTF-16 at the stand-in's own platform boundary (paths, arguments).
#pragma once
#include <string>

std::string to_utf8(const std::wstring& text);
std::wstring to_utf16(const std::string& text);
// The system's wording for a Win32 error code, one line.
std::string system_error_text(unsigned long code);
