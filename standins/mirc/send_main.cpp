// mirc-send: hands one command to a running mIRC (or its stand-in) the way any
// other program would, with no player and no component in between: it writes
// the shared block itself and sends message 1224.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include <windows.h>

namespace {

class section_view {
public:
  explicit section_view(const wchar_t* name)
      : section_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name)),
        view_(section_ ? MapViewOfFile(section_, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr) {}
  ~section_view() {
    if (view_) UnmapViewOfFile(view_);
    if (section_) CloseHandle(section_);
  }
  section_view(const section_view&) = delete;
  section_view& operator=(const section_view&) = delete;
  void* get() const { return view_; }

private:
  HANDLE section_;
  void* view_;
};

bool number(const wchar_t* text, unsigned long& out) {
  if (*text < L'0' || *text > L'9') return false;
  wchar_t* end = nullptr;
  out = std::wcstoul(text, &end, 10);
  return *end == L'\0';
}

// On standard error with exit status 2 for a bad command line; asked for with
// --help, on standard output with status 0.
int usage(bool asked = false) {
  std::fprintf(asked ? stdout : stderr,
               "usage: mirc-send [--method N] [--block 0..9] [--class NAME] TEXT\n"
               "Writes TEXT to the shared block mIRC (or mIRC1..mIRC9), as UTF-8 or, with method\n"
               "bit 8, as UTF-16, and sends message 1224 (method, block) to the first child of\n"
               "NAME's (default mIRC) MDIClient. Exit status 0 when it answered non-zero, 1 when\n"
               "it answered 0 or did not answer within 5 s, 2 on a bad command line or no window.\n");
  return asked ? 0 : 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  unsigned long method = 5, block = 0;
  std::wstring class_name = L"mIRC";
  if (argc == 2 && (std::wcscmp(argv[1], L"--help") == 0 || std::wcscmp(argv[1], L"-h") == 0)) return usage(true);
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; i += 2) {
    const std::wstring a = argv[i];
    if (a == L"--method"  ? !number(argv[i + 1], method)
        : a == L"--block" ? !number(argv[i + 1], block) || block > 9
        : a == L"--class" ? (class_name = argv[i + 1]).empty()
                          : true)
      return usage();
  }
  if (i + 1 != argc) return usage();
  const std::wstring text = argv[i];
  std::wstring name = L"mIRC";
  if (block != 0) name += static_cast<wchar_t>(L'0' + block);
  section_view view(name.c_str());
  if (!view.get()) {
    std::fprintf(stderr, "mirc-send: cannot make the shared block (error %lu)\n", GetLastError());
    return 2;
  }
  if (method & 8) {
    std::memcpy(view.get(), text.c_str(), std::min<std::size_t>((text.size() + 1) * 2, 4094));
  } else {
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, static_cast<char*>(view.get()), 4096, nullptr, nullptr);
    if (n == 0) static_cast<char*>(view.get())[4095] = '\0';
  }
  HWND frame = FindWindowW(class_name.c_str(), nullptr);
  HWND child = frame ? GetWindow(FindWindowExW(frame, nullptr, L"MDIClient", nullptr), GW_CHILD) : nullptr;
  if (!child) {
    std::fprintf(stderr, "mirc-send: no %ls window with an MDIClient child\n", class_name.c_str());
    return 2;
  }
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(child, WM_USER + 200, method, static_cast<LPARAM>(block), SMTO_ABORTIFHUNG, 5000, &answer) ||
      answer == 0)
    return 1;
  return 0;
}
