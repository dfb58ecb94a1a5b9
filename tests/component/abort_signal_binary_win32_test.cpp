// The abort-signal hook as a host process meets it: the real DLL turns the
// four signals into structured exception 0x6F8E1DC8 while it is loaded, and
// hands the previous handlers back when it is unloaded.
#include "binary_host_win32.h"

#include "process_start_win32.h"

#include "support/unique_handle_win32.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace {

using signal_handler = void(__cdecl*)(int);
constexpr int hooked_signals[4] = {2, 15, 21, 22};

// Reads the current handler without leaving a change behind.
signal_handler current_handler(int number) {
  const signal_handler current = std::signal(number, SIG_DFL);
  std::signal(number, current);
  return current;
}

void __cdecl note_a(int) {}
void __cdecl note_b(int) {}

// Puts the four handlers back as they were when the test began.
class saved_handlers {
public:
  saved_handlers() {
    for (int i = 0; i < 4; ++i)
      saved_[i] = current_handler(hooked_signals[i]);
  }
  saved_handlers(const saved_handlers&) = delete;
  saved_handlers& operator=(const saved_handlers&) = delete;
  ~saved_handlers() {
    for (int i = 0; i < 4; ++i)
      std::signal(hooked_signals[i], saved_[i]);
  }

private:
  signal_handler saved_[4];
};

TEST(AbortSignalHook, HandlersPointIntoTheComponentOnlyWhileLoaded) {
  saved_handlers restore;
  for (int number : hooked_signals)
    std::signal(number, note_a);
  {
    component_library library;
    ASSERT_NE(library.module(), nullptr);
    for (int number : hooked_signals)
      EXPECT_EQ(module_of(reinterpret_cast<const void*>(current_handler(number))), library.module()) << number;
  }
  EXPECT_EQ(GetModuleHandleW(L"cor_chirpline.dll"), nullptr);
  // Only looked at here: raising is left to the probe process, where a stale
  // handler would crash a process of its own rather than this one.
  for (int number : hooked_signals)
    EXPECT_EQ(current_handler(number), note_a) << number;
}

TEST(AbortSignalHook, HandlerSetAfterTheComponentStaysAtUnload) {
  saved_handlers restore;
  for (int number : hooked_signals)
    std::signal(number, note_a);
  {
    component_library library;
    ASSERT_NE(library.module(), nullptr);
    std::signal(15, note_b);
  }
  EXPECT_EQ(current_handler(2), note_a);
  EXPECT_EQ(current_handler(15), note_b);
  EXPECT_EQ(current_handler(21), note_a);
  EXPECT_EQ(current_handler(22), note_a);
}

struct probe_result {
  DWORD exit_code;
  std::string output;
};

// Runs the probe program and gathers its standard output and exit code.
probe_result run_probe(const std::wstring& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  unique_handle read_end, write_end;
  if (!CreatePipe(read_end.put(), write_end.put(), &inherit, 0)) return {0xFFFFFFFFu, "no pipe"};
  SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end.get();
  startup.hStdError = write_end.get();
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION started{};
  std::wstring command = L"\"" + program_folder() + L"abort_signal_probe.exe\" " + arguments;
  if (!start_test_process(nullptr, command, true, startup, started))
    return {0xFFFFFFFFu, "probe did not start (error " + std::to_string(GetLastError()) + ")"};
  const unique_handle process(started.hProcess), thread(started.hThread);
  write_end.reset();
  probe_result result{0xFFFFFFFFu, {}};
  // The output is a line or two, well within the pipe's buffer: wait first
  // (bounded, so a wedged probe fails the test instead of hanging it), then
  // take only what is there.
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 0xDEAD);
    WaitForSingleObject(process.get(), INFINITE);
    result.output += "[probe timed out]";
  }
  char buffer[256];
  DWORD available = 0, got = 0;
  while (PeekNamedPipe(read_end.get(), nullptr, 0, nullptr, &available, nullptr) && available != 0 &&
         ReadFile(read_end.get(), buffer, sizeof buffer, &got, nullptr) && got != 0)
    for (DWORD i = 0; i < got; ++i)
      if (buffer[i] != '\r') result.output += buffer[i]; // the probe's stdout is in text mode
  GetExitCodeProcess(process.get(), &result.exit_code);
  return result;
}

TEST(AbortSignalHook, SignalWhileLoadedBecomesNonContinuableException) {
  for (int number : hooked_signals) {
    const probe_result r = run_probe(L"loaded " + std::to_wstring(number));
    EXPECT_EQ(r.exit_code, 0x6F8E1DC8u) << number << ": " << r.output;
    // Code, EXCEPTION_NONCONTINUABLE, one argument: the signal number.
    EXPECT_NE(r.output.find("exception 6F8E1DC8 flags 1 arguments 1 " + std::to_string(number) + "\n"),
              std::string::npos)
        << r.output;
  }
}

TEST(AbortSignalHook, SignalAfterUnloadKeepsThePreviousBehaviour) {
  // The runtime's own default ends the process with exit code 3.
  probe_result r = run_probe(L"unloaded 22");
  EXPECT_EQ(r.exit_code, 3u) << r.output;
  EXPECT_EQ(r.output.find("exception"), std::string::npos) << r.output;
  r = run_probe(L"unloaded 15");
  EXPECT_EQ(r.exit_code, 3u) << r.output;
  // A handler the process had before the load runs again.
  for (int number : hooked_signals) {
    r = run_probe(L"kept " + std::to_wstring(number));
    EXPECT_EQ(r.exit_code, static_cast<DWORD>(100 + number)) << number << ": " << r.output;
  }
}

} // namespace
