// Programs the Wine tests start beside themselves: the mIRC stand-in, waited
// for until its windows exist and ended when the test is done, and the
// stand-in player (or any program of the build) run to completion with its output kept.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

// A file name in the temporary folder, unique to this run and call; no file
// of that name exists on return.
std::wstring temporary_path(const wchar_t* stem);
// The folder of the running test program, with a trailing backslash.
std::wstring program_folder();
std::string read_whole_file(const std::wstring& path);
// The file's lines, each without its line feed.
std::vector<std::string> read_lines(const std::wstring& path);
// True while a section of that name exists.
bool shared_block_exists(const wchar_t* name);
// The system's own text for a Win32 error code, in UTF-8, without the line
// break the system ends it with: what a line that names the code must hold.
std::string platform_error_text(DWORD code);

// A manual-reset event of a name unique to this run, made unset: the test
// sets it when a program waiting for it may go on.
class named_event {
public:
  named_event();
  ~named_event();
  named_event(const named_event&) = delete;
  named_event& operator=(const named_event&) = delete;
  const std::wstring& name() const { return name_; }
  void set() const { SetEvent(event_); }

private:
  std::wstring name_;
  HANDLE event_;
};

class mirc_standin {
public:
  // arguments: extra options for mirc-standin.exe (--class, --hang-ms, --shape).
  explicit mirc_standin(const std::wstring& arguments = L"");
  ~mirc_standin();
  mirc_standin(const mirc_standin&) = delete;
  mirc_standin& operator=(const mirc_standin&) = delete;

  // Every command recorded so far, one per line (and its refusals, as
  // "mirc-standin: refused ..." lines).
  std::vector<std::string> received() const { return read_lines(out_path_); }
  // One line per message 1224: "1224 method=M block=B ran" (or "refused: why").
  std::vector<std::string> trace() const { return read_lines(trace_path_); }
  // True once the stand-in has ended by itself within ms.
  bool ended_within(DWORD ms) const { return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0; }
  // Puts its main window in front of every other top-level window, as a user
  // clicking it does; false when the platform would not.
  bool bring_to_front() const;
  // True when its main window is the first mIRC window the desktop lists.
  bool first_listed() const;

private:
  void stop() noexcept;
  std::wstring out_path_;
  std::wstring trace_path_;
  std::wstring ready_path_;
  PROCESS_INFORMATION process_{};
};

// The stand-in player (corvane-host.exe) in the background, its output in
// files, its standard input a pipe: with `play --step` each step() plays the
// next track. Ended when the test is done, unless finish() saw it end.
class background_player {
public:
  explicit background_player(const std::wstring& arguments);
  ~background_player();
  background_player(const background_player&) = delete;
  background_player& operator=(const background_player&) = delete;

  // True once standard error holds text, false when the player ended or 30 s passed first.
  bool says(const std::string& text) const;
  void step();
  // Closes its standard input and waits for its exit code (99: it had to be ended).
  DWORD finish(DWORD ms = 30000);
  bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  std::string out() const { return read_whole_file(out_path_); }
  std::string err() const { return read_whole_file(err_path_); }

private:
  std::wstring out_path_, err_path_;
  HANDLE input_ = nullptr; // the pipe's end we write
  PROCESS_INFORMATION process_{};
};

struct program_result {
  DWORD exit_code;
  std::string out;
  std::string err;
};

// Runs program (in the test's folder) with arguments and waits for it.
program_result run_program(const std::wstring& program, const std::wstring& arguments, DWORD timeout_ms = 60000);
