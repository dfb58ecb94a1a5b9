// mirc-standin: stands in for mIRC's shared-memory command interface. It shows
// a top-level window of class "mIRC" with an "MDIClient" child and a first
// child inside it; on message 1224 that child reads the command from the named
// block the message designates and records it, one command per line. What
// real mIRC would not run (another message number in its range, unknown method
// bits, a block index outside 0..9, a block that does not exist) is refused
// loudly and nothing is run for it.
#include "announcer/mirc_interface.h"
#include "command_interpreter.h"
#include "irc_session_win32.h"
#include "shared_block_win32.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

constexpr UINT mirc_command_message = mirc_interface::command_message;
constexpr UINT mirc_message_range_last = 0x7FFF;
constexpr unsigned long known_method_bits = mirc_interface::known_method_bits;
constexpr wchar_t status_class[] = L"mIRC_StandinStatus";

struct options {
  std::wstring class_name = L"mIRC";
  std::wstring out_path;
  std::wstring trace_path;
  std::wstring ready_path;
  unsigned long hang_ms = 0;
  unsigned long hang_count = 0; // 0: every command hangs
  bool interface_off = false;
  unsigned long count = 0; // 0: run until closed
  std::wstring shape = L"full";
  std::wstring log_path;
  std::wstring irc; // HOST:PORT
  irc_settings session;
};

options g_options;
std::FILE* g_out = stdout;
std::FILE* g_trace = nullptr;
std::FILE* g_log = nullptr;
std::mutex g_log_mutex;
std::unique_ptr<irc_session> g_session;
unsigned long g_recorded = 0;

void print_help() {
  std::printf("usage: mirc-standin [--out FILE] [--trace FILE] [--class NAME] [--hang-ms N] [--count N]\n"
              "                    [--hang-count N] [--refuse-all]\n"
              "                    [--ready-file PATH] [--shape full|no-mdiclient|empty-mdiclient]\n"
              "                    [--irc HOST:PORT --nick NICK --channel #CHAN [--log FILE]\n"
              "                     [--flood-burst N] [--flood-interval-ms N] [--retry-ms N] [--retry-max-ms N]]\n"
              "\n"
              "Stands in for mIRC: a top-level window of class NAME (default mIRC) with an\n"
              "MDIClient child and a first child inside it. On message 1224 (WM_USER+200)\n"
              "the child opens the shared block named by lParam (0: \"mIRC\", 1..9: \"mIRC1\"..\"mIRC9\"),\n"
              "reads the zero-terminated command (at most 4096 bytes; UTF-16 with method bit 8,\n"
              "UTF-8 without) and writes it, exactly, as one line; then it answers 1.\n"
              "Method bits: 1 as typed, 2 as plain text, 4 flood protection, 8 UTF-16 text.\n"
              "\n"
              "Refused, with a line \"mirc-standin: refused REASON\" on the output and on\n"
              "standard error, and answered 0: another message in 1024..32767 reaching the\n"
              "child, a method with bits outside 1|2|4|8 or with neither 1 nor 2, a block\n"
              "index outside 0..9, a block that does not exist.\n"
              "\n"
              "  --out FILE         append commands to FILE (default: standard output), flushed per line\n"
              "  --trace FILE       append one line per message 1224:\n"
              "                     \"1224 method=W block=L ran\" or \"... refused: REASON\"\n"
              "  --class NAME       window class of the top-level window (e.g. MIRC, mIRCx)\n"
              "  --hang-ms N        sleep N ms before handling each command (a hung mIRC)\n"
              "  --hang-count N     sleep only before the first N commands (a mIRC that answers late)\n"
              "  --refuse-all       run nothing and answer 0, as mIRC does with its SendMessage\n"
              "                     interface switched off in its options\n"
              "  --count N          exit after N commands\n"
              "  --ready-file PATH  write PATH (holding the process id) once the windows exist\n"
              "  --shape S          full (default); no-mdiclient: no MDIClient child;\n"
              "                     empty-mdiclient: an MDIClient with no child inside\n"
              "\n"
              "With --irc it is also an IRC client: it connects to HOST:PORT (IPv4), registers\n"
              "as NICK, joins #CHAN, answers PING and runs each command as mIRC runs text typed\n"
              "in the channel: with method 1 a leading \"/\" runs commands separated by \"|\"\n"
              "(/me TEXT, /say TEXT, /msg TARGET TEXT, /quit [TEXT]; any other is reported,\n"
              "never sent), \"//\" (identifiers) is reported and not run, other text is said;\n"
              "with method 2 the text is said as it is. A line break ends a line. A message\n"
              "that would pass IRC's 512-byte line as the server relays it is cut at a UTF-8\n"
              "character boundary. With method bit 4 lines pass a flood gate: a burst of N\n"
              "lines, then one per interval; they wait, they are never dropped. A lost\n"
              "connection is retried after --retry-ms, doubling up to --retry-max-ms; lines\n"
              "that cannot go out are reported as not delivered. Reports go to standard error\n"
              "and to the log, each as \"mirc-standin: ...\".\n"
              "\n"
              "  --irc HOST:PORT    the IRC server (an IPv4 address)\n"
              "  --nick NICK        the nickname (\"_\" is added while it is taken)\n"
              "  --channel #CHAN    the channel /me and /say go to\n"
              "  --log FILE         append reports to FILE too\n"
              "  --flood-burst N    lines sent at once before the pace holds (default 4)\n"
              "  --flood-interval-ms N  then one line per N ms (default 1000)\n"
              "  --retry-ms N       first wait before reconnecting (default 1000)\n"
              "  --retry-max-ms N   longest wait before reconnecting (default 30000)\n"
              "  --help             this text\n"
              "\n"
              "Several instances may run at once. Exit status 0, or 2 on a bad command line or\n"
              "when the windows cannot be made.\n");
}

// Digits only: a sign or anything after the number is a bad value, not a wrap-around.
bool parse_number(const wchar_t* text, unsigned long& out) {
  if (*text < L'0' || *text > L'9') return false;
  wchar_t* end = nullptr;
  errno = 0;
  out = std::wcstoul(text, &end, 10);
  return errno == 0 && *end == L'\0';
}

// Printable ASCII with no blank: what a nickname or channel may safely hold on a command line.
bool parse_word(const wchar_t* text, std::string& out) {
  out.clear();
  for (const wchar_t* p = text; *p; ++p) {
    if (*p <= L' ' || *p > L'~' || *p == L',') return false;
    out += static_cast<char>(*p);
  }
  return !out.empty();
}

bool parse_address(const wchar_t* text, irc_settings& out) {
  const wchar_t* colon = std::wcsrchr(text, L':');
  unsigned long port = 0;
  if (!colon || !parse_number(colon + 1, port) || port == 0 || port > 65535) return false;
  out.host.clear();
  for (const wchar_t* p = text; p != colon; ++p)
    out.host += static_cast<char>(*p);
  out.port = static_cast<unsigned short>(port);
  return !out.host.empty();
}

bool takes_value(const std::wstring& a) {
  for (const wchar_t* known : {L"--out", L"--trace", L"--class", L"--ready-file", L"--hang-ms", L"--hang-count",
                               L"--count", L"--shape", L"--irc", L"--nick", L"--channel", L"--log", L"--flood-burst",
                               L"--flood-interval-ms", L"--retry-ms", L"--retry-max-ms"})
    if (a == known) return true;
  return false;
}

// Returns 0 to go on, or the exit status.
int parse(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--help" || a == L"-h" || a == L"/?") {
      print_help();
      return -1;
    }
    if (a == L"--refuse-all") {
      g_options.interface_off = true;
      continue;
    }
    if (!takes_value(a)) {
      std::fprintf(stderr, "mirc-standin: unknown option %ls (try --help)\n", a.c_str());
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "mirc-standin: %ls needs a value (try --help)\n", a.c_str());
      return 2;
    }
    const wchar_t* value = argv[++i];
    bool ok = true;
    if (a == L"--out")
      g_options.out_path = value;
    else if (a == L"--trace")
      g_options.trace_path = value;
    else if (a == L"--class")
      g_options.class_name = value;
    else if (a == L"--ready-file")
      g_options.ready_path = value;
    else if (a == L"--hang-ms")
      ok = parse_number(value, g_options.hang_ms);
    else if (a == L"--hang-count")
      ok = parse_number(value, g_options.hang_count);
    else if (a == L"--count")
      ok = parse_number(value, g_options.count);
    else if (a == L"--irc")
      ok = parse_address(value, g_options.session);
    else if (a == L"--nick")
      ok = parse_word(value, g_options.session.nick);
    else if (a == L"--channel")
      ok = parse_word(value, g_options.session.channel) && value[0] == L'#';
    else if (a == L"--log")
      g_options.log_path = value;
    else if (a == L"--flood-burst")
      ok = parse_number(value, g_options.session.flood_burst) && g_options.session.flood_burst > 0;
    else if (a == L"--flood-interval-ms")
      ok = parse_number(value, g_options.session.flood_interval_ms);
    else if (a == L"--retry-ms")
      ok = parse_number(value, g_options.session.retry_ms) && g_options.session.retry_ms > 0;
    else if (a == L"--retry-max-ms")
      ok = parse_number(value, g_options.session.retry_max_ms) && g_options.session.retry_max_ms > 0;
    else {
      g_options.shape = value;
      ok = g_options.shape == L"full" || g_options.shape == L"no-mdiclient" || g_options.shape == L"empty-mdiclient";
    }
    if (!ok) {
      std::fprintf(stderr, "mirc-standin: bad value for %ls: %ls\n", a.c_str(), value);
      return 2;
    }
  }
  const bool irc = !g_options.session.host.empty(), nick = !g_options.session.nick.empty(),
             channel = !g_options.session.channel.empty();
  if (irc != nick || irc != channel) {
    std::fprintf(stderr, "mirc-standin: --irc, --nick and --channel go together\n");
    return 2;
  }
  if (g_options.class_name.empty() || g_options.class_name.size() > 255) {
    std::fprintf(stderr, "mirc-standin: --class needs 1 to 255 characters\n");
    return 2;
  }
  return 0;
}

void write_line(std::FILE* f, const std::string& line) {
  if (!f) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fputc('\n', f);
  std::fflush(f);
}

// Said where the tests read (the output) and where a person looks (standard error).
void refuse(const std::string& reason) {
  const std::string line = "mirc-standin: refused " + reason;
  std::lock_guard<std::mutex> lock(g_log_mutex);
  write_line(g_out, line);
  if (g_out != stdout) write_line(stderr, line);
}

// Thread-safe: the IRC session reports from its own thread.
void report(const std::string& text) {
  const std::string line = "mirc-standin: " + text;
  std::lock_guard<std::mutex> lock(g_log_mutex);
  write_line(g_log, line);
  // Each line sent is for the log (the tests read its pace); a person watching needs only the events.
  if (text.compare(0, 5, "sent ") != 0) write_line(stderr, line);
}

void trace(WPARAM method, LPARAM index, const std::string& outcome) {
  write_line(g_trace, "1224 method=" + std::to_string(static_cast<unsigned long>(method)) +
                          " block=" + std::to_string(static_cast<long>(index)) + " " + outcome);
}

// Empty when the method is one the stand-in models.
std::string method_refusal(unsigned long method) {
  if (method & ~known_method_bits)
    return "method " + std::to_string(method) + ": bits " + std::to_string(method & ~known_method_bits) +
           " are not among 1|2|4|8";
  if ((method & 3) == 0) return "method " + std::to_string(method) + ": neither 1 (as typed) nor 2 (plain text)";
  return {};
}

// Reads the command from the block named by index and records it; answers 1
// when it ran, 0 when it was refused.
LRESULT read_command(WPARAM method, LPARAM index) {
  static unsigned long handled = 0;
  if (g_options.hang_ms != 0 && (g_options.hang_count == 0 || handled < g_options.hang_count)) Sleep(g_options.hang_ms);
  ++handled;
  std::string refusal =
      g_options.interface_off ? "the SendMessage interface is off" : method_refusal(static_cast<unsigned long>(method));
  block_read block;
  if (refusal.empty() && (index < 0 || index > 9))
    refusal = "block index " + std::to_string(static_cast<long>(index)) + ": outside 0..9";
  if (refusal.empty()) {
    block = read_shared_block(static_cast<long>(index), (method & 8) != 0);
    if (!block.ok) refusal = block.reason;
  }
  if (!refusal.empty()) {
    refuse(refusal);
    trace(method, index, "refused: " + refusal);
    return 0;
  }
  if (block.unterminated) std::fprintf(stderr, "mirc-standin: the block holds no terminator; recording all of it\n");
  write_line(g_out, block.text);
  trace(method, index, "ran");
  if (g_session)
    for (auto& action : interpret_command(block.text, static_cast<unsigned long>(method), g_options.session.channel)) {
      if (action.send)
        g_session->submit(std::move(action.text), (method & 4) != 0, action.quit);
      else
        report(action.text);
    }
  ++g_recorded;
  if (g_options.count != 0 && g_recorded >= g_options.count) PostQuitMessage(0);
  return 1;
}

LRESULT CALLBACK status_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == mirc_command_message) return read_command(w, l);
  if (message >= WM_USER && message <= mirc_message_range_last) {
    refuse("message " + std::to_string(message) + " (only 1224 is a command)");
    return 0;
  }
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
  if (!g_options.trace_path.empty()) {
    g_trace = _wfopen(g_options.trace_path.c_str(), L"ab");
    if (!g_trace) {
      std::fprintf(stderr, "mirc-standin: cannot open %ls for writing\n", g_options.trace_path.c_str());
      return 2;
    }
  }
  if (!g_options.log_path.empty()) {
    g_log = _wfopen(g_options.log_path.c_str(), L"ab");
    if (!g_log) {
      std::fprintf(stderr, "mirc-standin: cannot open %ls for writing\n", g_options.log_path.c_str());
      return 2;
    }
  }
  if (!g_options.session.host.empty()) g_session = std::make_unique<irc_session>(g_options.session, report);
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
  g_session.reset();
  if (g_out != stdout) std::fclose(g_out);
  if (g_trace) std::fclose(g_trace);
  if (g_log) std::fclose(g_log);
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
