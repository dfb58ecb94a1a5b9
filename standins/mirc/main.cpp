// mirc-standin: stands in for mIRC's shared-memory command interface. It shows
// a top-level window of class "mIRC" with an "MDIClient" child and a first
// child inside it; on message 1224 that child reads the command from the named
// block the message designates and records it, one command per line.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

constexpr UINT mirc_command_message = WM_USER + 200; // 1224
constexpr std::size_t block_size = 4096;
constexpr wchar_t status_class[] = L"mIRC_StandinStatus";

struct options {
  std::wstring class_name = L"mIRC";
  std::wstring out_path;
  std::wstring ready_path;
  unsigned long hang_ms = 0;
  unsigned long count = 0; // 0: run until closed
  std::wstring shape = L"full";
};

options g_options;
std::FILE* g_out = stdout;
unsigned long g_recorded = 0;

void print_help() {
  std::printf("usage: mirc-standin [--out FILE] [--class NAME] [--hang-ms N] [--count N]\n"
              "                    [--ready-file PATH] [--shape full|no-mdiclient|empty-mdiclient]\n"
              "\n"
              "Stands in for mIRC: a top-level window of class NAME (default mIRC) with an\n"
              "MDIClient child and a first child inside it. On message 1224 (WM_USER+200)\n"
              "the child opens the shared block named by lParam (0: \"mIRC\", 1..9: \"mIRC1\"..\"mIRC9\"),\n"
              "reads the zero-terminated command (at most 4096 bytes) and writes it, exactly,\n"
              "as one line; then it answers 1.\n"
              "\n"
              "  --out FILE         append commands to FILE (default: standard output), flushed per line\n"
              "  --class NAME       window class of the top-level window (e.g. MIRC, mIRCx)\n"
              "  --hang-ms N        sleep N ms before handling each command (a hung mIRC)\n"
              "  --count N          exit after N commands\n"
              "  --ready-file PATH  write PATH (holding the process id) once the windows exist\n"
              "  --shape S          full (default); no-mdiclient: no MDIClient child;\n"
              "                     empty-mdiclient: an MDIClient with no child inside\n"
              "  --help             this text\n"
              "\n"
              "Several instances may run at once. Exit status 0, or 2 on a bad command line or\n"
              "when the windows cannot be made.\n");
}

bool parse_number(const wchar_t* text, unsigned long& out) {
  wchar_t* end = nullptr;
  out = std::wcstoul(text, &end, 10);
  return end != text && *end == L'\0';
}

// Returns 0 to go on, or the exit status.
int parse(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--help" || a == L"-h" || a == L"/?") {
      print_help();
      return -1;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "mirc-standin: %ls needs a value (try --help)\n", a.c_str());
      return 2;
    }
    const wchar_t* value = argv[++i];
    bool ok = true;
    if (a == L"--out")
      g_options.out_path = value;
    else if (a == L"--class")
      g_options.class_name = value;
    else if (a == L"--ready-file")
      g_options.ready_path = value;
    else if (a == L"--hang-ms")
      ok = parse_number(value, g_options.hang_ms);
    else if (a == L"--count")
      ok = parse_number(value, g_options.count);
    else if (a == L"--shape") {
      g_options.shape = value;
      ok = g_options.shape == L"full" || g_options.shape == L"no-mdiclient" || g_options.shape == L"empty-mdiclient";
    } else {
      std::fprintf(stderr, "mirc-standin: unknown option %ls (try --help)\n", a.c_str());
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "mirc-standin: bad value for %ls: %ls\n", a.c_str(), value);
      return 2;
    }
  }
  if (g_options.class_name.empty() || g_options.class_name.size() > 255) {
    std::fprintf(stderr, "mirc-standin: --class needs 1 to 255 characters\n");
    return 2;
  }
  return 0;
}

// Reads the command from the block named by index and records it; 1 when
// recorded, 0 when there was nothing to read.
LRESULT read_command(WPARAM mode, LPARAM index) {
  if (g_options.hang_ms != 0) Sleep(g_options.hang_ms);
  if (index < 0 || index > 9) {
    std::fprintf(stderr, "mirc-standin: message 1224 with block number %ld, outside 0..9\n", static_cast<long>(index));
    return 0;
  }
  if (mode != 5)
    std::fprintf(stderr, "mirc-standin: message 1224 with mode %lu (mIRC's senders use 5)\n",
                 static_cast<unsigned long>(mode));
  wchar_t name[8] = L"mIRC";
  if (index != 0) {
    name[4] = static_cast<wchar_t>(L'0' + index);
    name[5] = L'\0';
  }
  HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
  if (section == nullptr) {
    std::fprintf(stderr, "mirc-standin: cannot open the shared block %ls (error %lu)\n", name, GetLastError());
    return 0;
  }
  const void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, block_size);
  if (view == nullptr) {
    std::fprintf(stderr, "mirc-standin: cannot map the shared block %ls (error %lu)\n", name, GetLastError());
    CloseHandle(section);
    return 0;
  }
  const char* text = static_cast<const char*>(view);
  const void* zero = std::memchr(text, 0, block_size);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : block_size;
  if (!zero) std::fprintf(stderr, "mirc-standin: the block %ls holds no terminator; recording its 4096 bytes\n", name);
  std::fwrite(text, 1, length, g_out);
  std::fputc('\n', g_out);
  std::fflush(g_out);
  UnmapViewOfFile(view);
  CloseHandle(section);
  ++g_recorded;
  if (g_options.count != 0 && g_recorded >= g_options.count) PostQuitMessage(0);
  return 1;
}

LRESULT CALLBACK status_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == mirc_command_message) return read_command(w, l);
  return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK frame_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

bool write_ready_file(const std::wstring& path) {
  const std::wstring temporary = path + L".tmp";
  std::FILE* f = _wfopen(temporary.c_str(), L"wb");
  if (!f) return false;
  std::fprintf(f, "%lu\n", GetCurrentProcessId());
  const bool written = std::fclose(f) == 0;
  return written && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

int run(int argc, wchar_t** argv) {
  if (int status = parse(argc, argv)) return status < 0 ? 0 : status;
  _setmode(_fileno(stdout), _O_BINARY);
  if (!g_options.out_path.empty()) {
    g_out = _wfopen(g_options.out_path.c_str(), L"ab");
    if (!g_out) {
      std::fprintf(stderr, "mirc-standin: cannot open %ls for writing\n", g_options.out_path.c_str());
      return 2;
    }
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW frame{};
  frame.lpfnWndProc = frame_procedure;
  frame.hInstance = instance;
  frame.lpszClassName = g_options.class_name.c_str();
  WNDCLASSW status{};
  status.lpfnWndProc = status_procedure;
  status.hInstance = instance;
  status.lpszClassName = status_class;
  if (!RegisterClassW(&frame) || !RegisterClassW(&status)) {
    std::fprintf(stderr, "mirc-standin: cannot register the window classes (error %lu)\n", GetLastError());
    return 2;
  }
  HWND main_window = CreateWindowExW(0, g_options.class_name.c_str(), L"mIRC stand-in", WS_OVERLAPPEDWINDOW,
                                     CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, nullptr);
  if (!main_window) {
    std::fprintf(stderr, "mirc-standin: cannot create the main window (error %lu)\n", GetLastError());
    return 2;
  }
  if (g_options.shape != L"no-mdiclient") {
    CLIENTCREATESTRUCT client{};
    HWND mdi_client = CreateWindowExW(0, L"MDIClient", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, main_window,
                                      nullptr, instance, &client);
    if (!mdi_client) {
      std::fprintf(stderr, "mirc-standin: cannot create the MDIClient window (error %lu)\n", GetLastError());
      return 2;
    }
    if (g_options.shape == L"full" && !CreateWindowExW(0, status_class, L"Status", WS_CHILD | WS_VISIBLE, 0, 0, 400,
                                                       300, mdi_client, nullptr, instance, nullptr)) {
      std::fprintf(stderr, "mirc-standin: cannot create the status window (error %lu)\n", GetLastError());
      return 2;
    }
  }
  if (!g_options.ready_path.empty() && !write_ready_file(g_options.ready_path)) {
    std::fprintf(stderr, "mirc-standin: cannot write %ls\n", g_options.ready_path.c_str());
    return 2;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (g_out != stdout) std::fclose(g_out);
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
