// mirc-standin: stands in for mIRC's shared-memory command interface. It shows
// a top-level window of class "mIRC" with an "MDIClient" child and a first
// child inside it; on message 1224 that child reads the command from the named
// block the message designates and records it, one command per line. What
// real mIRC would not run (another message number in its range, unknown method
// bits, a block index outside 0..2^31-1, a block that does not exist) is refused
// loudly and nothing is run for it.
#include "command_handler_win32.h"
#include "irc_session_win32.h"
#include "mirc_dlls_win32.h"
#include "standin_options.h"
#include "standin_output_win32.h"
#include "standin_windows_win32.h"

#include <cstdio>
#include <memory>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

bool write_ready_file(const std::wstring& path) {
  const std::wstring temporary = path + L".tmp";
  std::FILE* f = _wfopen(temporary.c_str(), L"wb");
  if (!f) return false;
  std::fprintf(f, "%lu\n", GetCurrentProcessId());
  const bool written = std::fclose(f) == 0;
  return written && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

int run(int argc, wchar_t** argv) {
  standin_options options;
  if (int status = parse_standin_options(argc, argv, options)) return status < 0 ? 0 : status;
  _setmode(_fileno(stdout), _O_BINARY);
  standin_output output;
  if (!output.open(options)) return 2;
  std::unique_ptr<irc_session> session;
  if (!options.session.host.empty())
    session =
        std::make_unique<irc_session>(options.session, [&output](const std::string& text) { output.report(text); });
  mirc_dlls_win32 dlls(output); // UnloadDll(2) once the windows are gone
  command_handler handler(options, output, session.get());
  handler.offer_dlls(&dlls);
  if (!create_standin_windows(options, handler)) return 2;
  if (!options.ready_path.empty() && !write_ready_file(options.ready_path)) {
    std::fprintf(stderr, "mirc-standin: cannot write %ls\n", options.ready_path.c_str());
    return 2;
  }
  run_message_loop();
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
