// mirc-send: hands one command to a running mIRC (or its stand-in) the way any
// other program would, with no player and no component in between: it writes
// the shared block itself and sends message 1224.
#include "announcer/mirc_interface.h"
#include "handle_owner_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include <windows.h>

using namespace mirc_interface;

namespace {

// Decimal digits only, within low..high: wcstoul alone takes "-1" and "3x".
bool number_in(const wchar_t* text, unsigned long low, unsigned long high, unsigned long& out) {
  if (*text == L'\0' || std::wcslen(text) > 9) return false;
  for (const wchar_t* p = text; *p != L'\0'; ++p)
    if (*p < L'0' || *p > L'9') return false;
  out = std::wcstoul(text, nullptr, 10);
  return out >= low && out <= high;
}

// On standard error with exit status 2 for a bad command line; asked for with
// --help, on standard output with status 0.
int usage(bool asked = false) {
  std::fprintf(asked ? stdout : stderr,
               "usage: mirc-send [--method 1..15] [--block 0..9] [--class NAME] [--] TEXT\n"
               "Writes TEXT to the shared block mIRC (or mIRC1..mIRC9), as UTF-8 or, with method\n"
               "bit 8, as UTF-16, and sends message 1224 (method, block) to the first child of\n"
               "NAME's (default mIRC) MDIClient. A TEXT that starts with -- must follow --.\n"
               "Exit status 0 when it answered non-zero; 1 when it answered 0, did not answer\n"
               "within 5 s or no such window exists; 2 on a bad command line.\n");
  return asked ? 0 : 2;
}

// One line naming what is wrong, exit status 2.
int bad_command_line(const char* what, const std::wstring& detail = std::wstring()) {
  std::fprintf(stderr, "mirc-send: %s%ls\n", what, detail.c_str());
  return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  unsigned long method = 5, block = 0;
  std::wstring class_name = L"mIRC";
  const wchar_t* text_argument = nullptr;
  bool options_ended = false; // after --, every argument is TEXT
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (!options_ended && (a == L"--help" || a == L"-h")) return usage(true);
    if (options_ended || a.compare(0, 2, L"--") != 0) {
      if (text_argument != nullptr) return bad_command_line("more than one TEXT: ", a);
      text_argument = argv[i];
      continue;
    }
    if (a == L"--") {
      options_ended = true;
      continue;
    }
    if (a != L"--method" && a != L"--block" && a != L"--class") return bad_command_line("unknown option ", a);
    // An option's value never starts with --: "--block --help" is a missing value.
    if (i + 1 == argc || std::wcsncmp(argv[i + 1], L"--", 2) == 0) return bad_command_line("no value for ", a);
    const wchar_t* value = argv[++i];
    if (a == L"--method" && !number_in(value, 1, 15, method))
      return bad_command_line("bad value for --method: ", std::wstring(value) + L" (1 to 15)");
    if (a == L"--block" && !number_in(value, 0, 9, block))
      return bad_command_line("bad value for --block: ", std::wstring(value) + L" (0 to 9)");
    if (a == L"--class") {
      if (*value == L'\0') return bad_command_line("bad value for --class: an empty name");
      class_name = value;
    }
  }
  if (text_argument == nullptr) return bad_command_line("no TEXT to send");
  const std::wstring text = text_argument;
  // The block is 4096 bytes with the terminator; a TEXT cut to fit would be
  // another command than the one asked for.
  const std::size_t bytes =
      method & method_unicode
          ? text.size() * 2
          : static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                         nullptr, 0, nullptr, nullptr));
  if (bytes + (method & method_unicode ? 2 : 1) > block_size)
    return bad_command_line("TEXT does not fit the 4096-byte block: ",
                            std::to_wstring(bytes) +
                                (method & method_unicode ? L" bytes as UTF-16" : L" bytes as UTF-8"));
  std::wstring name = L"mIRC";
  if (block != 0) name += static_cast<wchar_t>(L'0' + block);
  const owned_handle section(
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, block_size, name.c_str()));
  const owned_view view(section ? MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr);
  if (!view.get()) {
    std::fprintf(stderr, "mirc-send: cannot make the shared block %ls (error %lu)\n", name.c_str(), GetLastError());
    return 1;
  }
  // The block may be an existing one (mIRC keeps it open): the terminator is
  // written, never assumed.
  if (method & method_unicode) {
    std::memcpy(view.get(), text.c_str(), (text.size() + 1) * 2);
  } else {
    char* out = static_cast<char*>(view.get());
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out, block_size - 1, nullptr, nullptr);
    out[bytes] = '\0';
  }
  HWND frame = FindWindowW(class_name.c_str(), nullptr);
  HWND child = frame ? GetWindow(FindWindowExW(frame, nullptr, L"MDIClient", nullptr), GW_CHILD) : nullptr;
  if (!child) {
    std::fprintf(stderr, "mirc-send: no %ls window with an MDIClient child; nothing sent\n", class_name.c_str());
    return 1;
  }
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(child, command_message, method, static_cast<LPARAM>(block), SMTO_ABORTIFHUNG, 5000,
                           &answer)) {
    const DWORD error = GetLastError();
    if (error == ERROR_TIMEOUT || error == 0)
      std::fprintf(stderr, "mirc-send: %ls did not answer within 5 s\n", class_name.c_str());
    else
      std::fprintf(stderr, "mirc-send: message 1224 to %ls failed (error %lu)\n", class_name.c_str(), error);
    return 1;
  }
  if (answer == 0) {
    std::fprintf(stderr, "mirc-send: %ls answered 0: it did not run the command\n", class_name.c_str());
    return 1;
  }
  return 0;
}
