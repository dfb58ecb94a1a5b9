#include "standin_options.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>

namespace {

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

// --chaos-weights: four or five whole numbers, "RAN,REFUSED,LATE,QUIT[,STREAK]",
// not all 0; STREAK is 0 when left out.
bool parse_weights(const wchar_t* text, unsigned long (&out)[5]) {
  unsigned long sum = 0;
  out[4] = 0;
  for (int i = 0;; ++i) {
    const wchar_t* end = text;
    while (*end >= L'0' && *end <= L'9')
      ++end;
    if (i == 5 || end == text || end - text > 6 || (*end != L',' && *end != L'\0')) return false;
    out[i] = std::wcstoul(text, nullptr, 10);
    sum += out[i];
    if (*end == L'\0') return i >= 3 && sum != 0;
    text = end + 1;
  }
}

bool takes_value(const std::wstring& a) {
  for (const wchar_t* known : {L"--out",           L"--trace",        L"--class",       L"--ready-file",
                               L"--hang-ms",       L"--hang-count",   L"--count",       L"--chaos",
                               L"--chaos-weights", L"--shape",        L"--irc",         L"--nick",
                               L"--channel",       L"--log",          L"--flood-burst", L"--flood-interval-ms",
                               L"--retry-ms",      L"--retry-max-ms", L"--stall-event", L"--channels",
                               L"--switch-busy-ms"})
    if (a == known) return true;
  return false;
}

} // namespace

void print_standin_help() {
  std::printf("usage: mirc-standin [--out FILE] [--trace FILE] [--class NAME] [--hang-ms N] [--count N]\n"
              "                    [--hang-count N] [--stall-event NAME] [--refuse-all]\n"
              "                    [--chaos SEED [--chaos-weights R,F,L,Q[,S]]]\n"
              "                    [--channels N] [--switch-busy-ms N] [--stall-switch]\n"
              "                    [--ready-file PATH] [--shape full|no-mdiclient|empty-mdiclient]\n"
              "                    [--irc HOST:PORT --nick NICK --channel #CHAN [--log FILE]\n"
              "                     [--flood-burst N] [--flood-interval-ms N] [--retry-ms N] [--retry-max-ms N]]\n"
              "\n"
              "Stands in for mIRC: a top-level window of class NAME (default mIRC) with an\n"
              "MDIClient child and a first child inside it. On message 1224 (WM_USER+200)\n"
              "the child opens the shared block named by lParam (0: \"mIRC\", N: \"mIRC<N>\"),\n"
              "reads the zero-terminated command (at most 4096 bytes; UTF-16 with method bit 8,\n"
              "UTF-8 without) and writes it, exactly, as one line; then it answers 1.\n"
              "Method bits: 1 as typed, 2 as plain text, 4 flood protection, 8 UTF-16 text.\n"
              "\n"
              "Refused, with a line \"mirc-standin: refused REASON\" on the output and on\n"
              "standard error, and answered 0: another message in 1024..32767 reaching the\n"
              "child, a method with bits outside 1|2|4|8 or with neither 1 nor 2, a block\n"
              "index outside 0..2147483647, a block that does not exist.\n"
              "\n"
              "  --out FILE         append commands to FILE (default: standard output), flushed per line\n"
              "  --trace FILE       append one line per message 1224:\n"
              "                     \"1224 method=W block=L ran\" or \"... refused: REASON\"\n"
              "  --class NAME       window class of the top-level window (e.g. MIRC, mIRCx)\n"
              "  --hang-ms N        sleep N ms before handling each command (a hung mIRC)\n"
              "  --hang-count N     sleep only before the first N commands (a mIRC that answers late)\n"
              "  --stall-event NAME  the commands that hang wait, inside the handler, until the named\n"
              "                     event NAME is set (made if it does not exist), instead of sleeping\n"
              "  --refuse-all       run nothing and answer 0, as mIRC does with its SendMessage\n"
              "                     interface switched off in its options\n"
              "  --count N          exit after N commands\n"
              "  --chaos SEED       give each message a fate drawn from SEED: run it (R), refuse it\n"
              "                     and answer 0 (F), run it late, 3500 ms into the handler (L), or\n"
              "                     quit at once, running nothing (Q), or run it and the next 1 to 4\n"
              "                     late (S, a slow streak); the trace line says which (ran,\n"
              "                     refused: chaos, ran late, quit) and ends \" text=COMMAND\"\n"
              "  --chaos-weights R,F,L,Q[,S]  the fates' relative weights (default 91,4,2,3,0)\n"
              "  --ready-file PATH  write PATH (holding the process id) once the windows exist\n"
              "  --shape S          full (default); no-mdiclient: no MDIClient child;\n"
              "                     empty-mdiclient: an MDIClient with no child inside\n"
              "  --channels N       N channel windows (1 to 9, default 1) in the MDIClient, all of one thread\n"
              "  --switch-busy-ms N after answering each command it ran, bring the channel at the back\n"
              "                     to the front and stay busy N ms, as a script would keep mIRC\n"
              "  --stall-switch     a command that hangs first brings the channel at the back to the\n"
              "                     front, and closes that channel once it wakes, before it runs\n"
              "\n"
              "With --irc it is also an IRC client: it connects to HOST:PORT (IPv4), registers\n"
              "as NICK, joins #CHAN, answers PING and runs each command as mIRC runs text typed\n"
              "in the channel: with method 1 a leading \"/\" runs commands separated by \"|\"\n"
              "(/me TEXT, /say TEXT, /msg TARGET TEXT, /quit [TEXT], /echo TEXT shown in the\n"
              "log, /dll FILE PROC DATA and /dll -u FILE; any other is reported, never sent),\n"
              "a leading \"//\" first has each $dll(FILE, PROC, DATA) and $null replaced by its\n"
              "value (other identifiers and variables: reported, not run), other text is said;\n"
              "with method 2 the text is said as it is. A line break ends a line. A message\n"
              "that would pass IRC's 512-byte line as the server relays it is cut at a UTF-8\n"
              "character boundary. With method bit 4 lines pass a flood gate: a burst of N\n"
              "lines, then one per interval; they wait, they are never dropped. A lost\n"
              "connection is retried after --retry-ms, doubling up to --retry-max-ms; lines\n"
              "that cannot go out are reported as not delivered. Reports go to standard error\n"
              "and to the log, each as \"mirc-standin: ...\".\n"
              "\n"
              "DLLs are called as mIRC 7.81 calls them: FILE without a folder is the one beside\n"
              "this program; LoadDll gets every field (mBytes 16384) and its mKeep and mUnicode\n"
              "are honoured; UnloadDll(0) on /dll -u, UnloadDll(2) at exit. A value is text:\n"
              "it is never evaluated again.\n"
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

int parse_standin_options(int argc, wchar_t** argv, standin_options& options) {
  bool weighted = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--help" || a == L"-h" || a == L"/?") {
      print_standin_help();
      return -1;
    }
    if (a == L"--refuse-all") {
      options.interface_off = true;
      continue;
    }
    if (a == L"--stall-switch") {
      options.stall_switch = true;
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
      options.out_path = value;
    else if (a == L"--trace")
      options.trace_path = value;
    else if (a == L"--class")
      options.class_name = value;
    else if (a == L"--ready-file")
      options.ready_path = value;
    else if (a == L"--hang-ms")
      ok = parse_number(value, options.hang_ms);
    else if (a == L"--hang-count")
      ok = parse_number(value, options.hang_count);
    else if (a == L"--stall-event")
      ok = !(options.stall_event = value).empty();
    else if (a == L"--channels")
      ok = parse_number(value, options.channels) && options.channels >= 1 && options.channels <= 9;
    else if (a == L"--switch-busy-ms")
      ok = parse_number(value, options.switch_busy_ms);
    else if (a == L"--chaos")
      ok = options.chaos = parse_number(value, options.chaos_seed);
    else if (a == L"--chaos-weights")
      ok = weighted = parse_weights(value, options.chaos_weights);
    else if (a == L"--count")
      ok = parse_number(value, options.count);
    else if (a == L"--irc")
      ok = parse_address(value, options.session);
    else if (a == L"--nick")
      ok = parse_word(value, options.session.nick);
    else if (a == L"--channel")
      ok = parse_word(value, options.session.channel) && value[0] == L'#';
    else if (a == L"--log")
      options.log_path = value;
    else if (a == L"--flood-burst")
      ok = parse_number(value, options.session.flood_burst) && options.session.flood_burst > 0;
    else if (a == L"--flood-interval-ms")
      ok = parse_number(value, options.session.flood_interval_ms);
    else if (a == L"--retry-ms")
      ok = parse_number(value, options.session.retry_ms) && options.session.retry_ms > 0;
    else if (a == L"--retry-max-ms")
      ok = parse_number(value, options.session.retry_max_ms) && options.session.retry_max_ms > 0;
    else {
      options.shape = value;
      ok = options.shape == L"full" || options.shape == L"no-mdiclient" || options.shape == L"empty-mdiclient";
    }
    if (!ok) {
      std::fprintf(stderr, "mirc-standin: bad value for %ls: %ls\n", a.c_str(), value);
      return 2;
    }
  }
  if (weighted && !options.chaos) {
    std::fprintf(stderr, "mirc-standin: --chaos-weights needs --chaos SEED\n");
    return 2;
  }
  const bool irc = !options.session.host.empty(), nick = !options.session.nick.empty(),
             channel = !options.session.channel.empty();
  if (irc != nick || irc != channel) {
    std::fprintf(stderr, "mirc-standin: --irc, --nick and --channel go together\n");
    return 2;
  }
  if (options.class_name.empty() || options.class_name.size() > 255) {
    std::fprintf(stderr, "mirc-standin: --class needs 1 to 255 characters\n");
    return 2;
  }
  return 0;
}
