#include "test_programs_win32.h"

#include "process_start_win32.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace {

unsigned g_serial = 0;

// mIRC is a 32-bit program: a 64-bit test talks to the 32-bit stand-in, which
// sits in a folder of its own beside the test, with the 32-bit runtime.
#ifdef _WIN64
constexpr const wchar_t* mirc_standin_program = L"mirc-i686\\mirc-standin.exe";
#else
constexpr const wchar_t* mirc_standin_program = L"mirc-standin.exe";
#endif

class file_handle {
public:
  explicit file_handle(HANDLE h) : h_(h) {}
  ~file_handle() {
    if (h_ != INVALID_HANDLE_VALUE && h_ != nullptr) CloseHandle(h_);
  }
  file_handle(const file_handle&) = delete;
  file_handle& operator=(const file_handle&) = delete;
  HANDLE get() const { return h_; }

private:
  HANDLE h_;
};

HANDLE inheritable_file(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// The stand-in player and its component come from the player's folder: the
// test's own, or the one CHIRPLINE_PLAYER_FOLDER names (a tree of another
// compiler's build, whose player the same test drives as a program).
std::wstring folder_of(const std::wstring& program) {
  wchar_t named[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"CHIRPLINE_PLAYER_FOLDER", named, MAX_PATH);
  if (program != L"corvane-host.exe" || n == 0 || n >= MAX_PATH) return program_folder();
  std::wstring folder(named, n);
  for (wchar_t& c : folder)
    if (c == L'/') c = L'\\';
  if (GetFileAttributesW((folder + L"\\" + program).c_str()) == INVALID_FILE_ATTRIBUTES)
    throw std::runtime_error("no corvane-host.exe in CHIRPLINE_PLAYER_FOLDER: build that tree first");
  return folder + L"\\";
}

PROCESS_INFORMATION start(const std::wstring& program, const std::wstring& arguments, STARTUPINFOW& startup,
                          bool inherit) {
  const std::wstring path = folder_of(program) + program;
  std::wstring command_line = L"\"" + path + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  if (!start_test_process(path.c_str(), command_line, inherit, startup, process))
    throw std::runtime_error("cannot start a test program (error " + std::to_string(GetLastError()) + ")");
  return process;
}

} // namespace

std::wstring temporary_path(const wchar_t* stem) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  // Wine reuses process ids from run to run, so the start time is part of the name too.
  static const unsigned long long started = GetTickCount64();
  std::wstring path = std::wstring(folder) + L"chirpline-" + stem + L"-" + std::to_wstring(GetCurrentProcessId()) +
                      L"-" + std::to_wstring(started) + L"-" + std::to_wstring(++g_serial) + L".txt";
  DeleteFileW(path.c_str()); // a run that crashed may have left it
  return path;
}

std::wstring program_folder() {
  wchar_t self[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::string read_whole_file(const std::wstring& path) {
  std::string text;
  if (std::FILE* f = _wfopen(path.c_str(), L"rb")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

std::vector<std::string> read_lines(const std::wstring& path) {
  std::vector<std::string> lines;
  const std::string text = read_whole_file(path);
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start) + "<no line end>");
  return lines;
}

bool shared_block_exists(const wchar_t* name) {
  HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
  if (section == nullptr) return false;
  CloseHandle(section);
  return true;
}

std::string platform_error_text(DWORD code) {
  wchar_t buffer[512];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer, 512,
                           nullptr);
  while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n'))
    --n;
  char utf8[1024];
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), utf8, sizeof utf8, nullptr, nullptr);
  return std::string(utf8, static_cast<std::size_t>(bytes > 0 ? bytes : 0));
}

named_event::named_event()
    : name_(L"chirpline-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) +
            L"-" + std::to_wstring(++g_serial)) {
  event_ = CreateEventW(nullptr, TRUE, FALSE, name_.c_str());
  if (event_ == nullptr)
    throw std::runtime_error("cannot make an event (error " + std::to_string(GetLastError()) + ")");
}

named_event::~named_event() { CloseHandle(event_); }

namespace {

bool is_mirc_class(HWND window) {
  wchar_t name[8];
  return RealGetWindowClassW(window, name, 8) == 4 && lstrcmpiW(name, L"mIRC") == 0;
}

struct window_search {
  DWORD process; // 0: any
  HWND found;
};

// The first mIRC window the desktop lists (of `process`, unless 0).
BOOL CALLBACK find_mirc_window(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<window_search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (!is_mirc_class(window) || (search.process != 0 && owner != search.process)) return TRUE;
  search.found = window;
  return FALSE;
}

HWND first_mirc_window(DWORD process) {
  window_search search{process, nullptr};
  EnumDesktopWindows(nullptr, &find_mirc_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

} // namespace

bool mirc_standin::bring_to_front() const {
  const HWND window = first_mirc_window(process_.dwProcessId);
  return window != nullptr &&
         SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != 0 && first_listed();
}

bool mirc_standin::first_listed() const {
  const HWND mine = first_mirc_window(process_.dwProcessId);
  return mine != nullptr && first_mirc_window(0) == mine;
}

mirc_standin::mirc_standin(const std::wstring& arguments)
    : out_path_(temporary_path(L"mirc-out")), trace_path_(temporary_path(L"mirc-trace")),
      ready_path_(temporary_path(L"mirc-ready")) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  process_ = start(mirc_standin_program,
                   L"--out \"" + out_path_ + L"\" --trace \"" + trace_path_ + L"\" --ready-file \"" + ready_path_ +
                       L"\" " + arguments,
                   startup, false);
  for (int waited = 0; GetFileAttributesW(ready_path_.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 20) {
    if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0 || waited > 30000) {
      stop();
      throw std::runtime_error("the mIRC stand-in did not come up");
    }
  }
}

mirc_standin::~mirc_standin() { stop(); }

void mirc_standin::stop() noexcept {
  if (process_.hProcess) {
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_.hProcess = nullptr;
  }
  DeleteFileW(out_path_.c_str());
  DeleteFileW(trace_path_.c_str());
  DeleteFileW(ready_path_.c_str());
}

program_result run_program(const std::wstring& program, const std::wstring& arguments, DWORD timeout_ms) {
  const std::wstring out_path = temporary_path(L"stdout"), err_path = temporary_path(L"stderr");
  program_result result{};
  {
    file_handle out(inheritable_file(out_path)), err(inheritable_file(err_path));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION process = start(program, arguments, startup, true);
    if (WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  result.out = read_whole_file(out_path);
  result.err = read_whole_file(err_path);
  DeleteFileW(out_path.c_str());
  DeleteFileW(err_path.c_str());
  return result;
}

background_player::background_player(const std::wstring& arguments)
    : out_path_(temporary_path(L"player-out")), err_path_(temporary_path(L"player-err")) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  CreatePipe(&read_end, &input_, &inherit, 0);
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0); // the player sees the end when we close it
  const file_handle input(read_end), out(inheritable_file(out_path_)), err(inheritable_file(err_path_));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  process_ = start(L"corvane-host.exe", arguments, startup, true);
}

background_player::~background_player() {
  finish(0);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
  DeleteFileW(out_path_.c_str());
  DeleteFileW(err_path_.c_str());
}

bool background_player::says(const std::string& text) const {
  for (int waited = 0; err().find(text) == std::string::npos; waited += 20)
    if (waited > 30000 || WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0)
      return err().find(text) != std::string::npos;
  return true;
}

void background_player::step() {
  DWORD written = 0;
  WriteFile(input_, "\n", 1, &written, nullptr);
}

DWORD background_player::finish(DWORD ms) {
  if (input_ != nullptr) CloseHandle(std::exchange(input_, nullptr));
  if (WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
  WaitForSingleObject(process_.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}
