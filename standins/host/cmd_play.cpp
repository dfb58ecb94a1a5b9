// play PLAYLIST: reports every track of a playlist file as the new track to
// each playback callback the component registers, the way the player does it,
// and proves after every notification that the component kept no reference to
// any host object. --step holds the player between tracks until a line comes
// on standard input, so that a test can look at what one track left behind
// without relying on the clock; --repeat plays the list again and again.
#include "component_module_win32.h"
#include "host/playback.h"
#include "host_commands.h"
#include "host_ledger.h"
#include "playlist.h"
#include "text_win32.h"
#include "titleformat_standin.h"

#include <cstdio>
#include <cwchar>

namespace {

bool read_file(const std::wstring& path, std::string& out) {
  std::FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return false;
  char buffer[16384];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    out.append(buffer, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// The host objects a notification may touch, and what they held before it.
struct reference_check {
  std::int64_t outstanding;
  std::int64_t alive;
  static reference_check now() { return {host_references().outstanding(), host_references().alive.load()}; }
};

// --step: says on standard error which track was played, then waits for a
// line. False at the end of standard input: the player stops there.
bool wait_for_step(unsigned index) {
  std::fprintf(stderr, "corvane-host: track %u played; waiting for a line\n", index);
  std::fflush(stderr);
  char line[256];
  return std::fgets(line, sizeof line, stdin) != nullptr;
}

struct play_options {
  bool step = false;
  unsigned long repeat = 1;
  std::wstring playlist;
};

bool parse_play_options(const std::vector<std::wstring>& args, play_options& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == L"--step") {
      options.step = true;
    } else if (args[i] == L"--repeat" && i + 1 < args.size()) {
      wchar_t* end = nullptr;
      options.repeat = std::wcstoul(args[++i].c_str(), &end, 10);
      if (*end != L'\0' || options.repeat == 0 || args[i][0] == L'-') {
        std::fprintf(stderr, "corvane-host: bad value for --repeat: %s (1 or more)\n", to_utf8(args[i]).c_str());
        return false;
      }
    } else if (args[i].compare(0, 2, L"--") == 0) {
      std::fprintf(stderr, "corvane-host: play: unknown option %s (try --help)\n", to_utf8(args[i]).c_str());
      return false;
    } else if (options.playlist.empty()) {
      options.playlist = args[i];
    } else {
      std::fprintf(stderr, "corvane-host: play takes [--step] [--repeat N] PLAYLIST; %s is one too many\n",
                   to_utf8(args[i]).c_str());
      return false;
    }
  }
  if (options.playlist.empty()) std::fprintf(stderr, "corvane-host: play needs PLAYLIST\n");
  return !options.playlist.empty();
}

} // namespace

int run_play(host_session& session, const std::vector<std::wstring>& args) {
  play_options options;
  if (!parse_play_options(args, options)) return 2;
  const std::string path = to_utf8(options.playlist);
  std::string text;
  if (!read_file(options.playlist, text)) {
    std::fprintf(stderr, "corvane-host: cannot read %s: %s\n", path.c_str(), system_error_text(GetLastError()).c_str());
    return 2;
  }
  std::vector<playlist_entry> playlist;
  try {
    playlist = parse_playlist(text);
  } catch (const playlist_error& e) {
    std::fprintf(stderr, "corvane-host: %s:%s\n", path.c_str(), e.what());
    return 2;
  }

  std::vector<play_callback*> callbacks;
  const auto services = session.component.services(play_callback_static_class_guid);
  for (const auto& service : services) {
    auto* callback = static_cast<play_callback_static*>(service.get());
    if (callback->notification_mask() & play_callback_flag_new_track)
      callbacks.push_back(static_cast<play_callback*>(callback));
  }
  if (callbacks.empty()) std::fprintf(stderr, "corvane-host: the component asks for no new-track notification\n");

  auto compiler = make_ledger_service<titleformat_compiler_standin>();
  session.registry.add(titleformat_compiler_class_guid, compiler.get());

  int status = 0;
  unsigned index = 0;
  bool go_on = true;
  for (unsigned long round = 0; round < options.repeat && go_on; ++round)
    for (const auto& entry : playlist) {
      if (options.step && index > 0 && !(go_on = wait_for_step(index))) break;
      ++index;
      auto track = make_ledger_service<track_standin>(entry.fields, path + ":" + std::to_string(entry.line));
      for (play_callback* callback : callbacks) {
        const reference_check before = reference_check::now();
        track->add_ref(); // the callee owns this one
        try {
          callback->on_new_track(track.get());
        } catch (const std::exception& e) {
          std::fprintf(stderr, "corvane-host: track %u: the component raised: %s\n", index, e.what());
          status = 1;
        }
        const reference_check after = reference_check::now();
        if (after.outstanding != before.outstanding || after.alive != before.alive) {
          std::fprintf(stderr,
                       "corvane-host: track %u: the component kept %lld host reference(s) and %lld host object(s)\n",
                       index, static_cast<long long>(after.outstanding - before.outstanding),
                       static_cast<long long>(after.alive - before.alive));
          status = 1;
        }
      }
    }
  if (options.step && go_on) wait_for_step(index);
  session.registry.remove_all(titleformat_compiler_class_guid);
  compiler.reset();
  std::fprintf(stderr, "corvane-host: played %u track(s); host references taken %lld, released %lld\n", index,
               static_cast<long long>(host_references().taken.load()),
               static_cast<long long>(host_references().released.load()));
  return status;
}
