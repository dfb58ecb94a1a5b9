// Linked into every program that CTest runs under Wine. Under load Wine can
// fail to start a program at all ("ShellExecuteEx failed: Internal error"),
// and the exit status alone cannot tell that from a test that ran and failed.
// So the program's first constructor makes the file CHIRPLINE_START_MARK
// names: tools/wine-run starts a program again only when Wine gave up before
// the mark, and never one that started.
#include <cstdio>
#include <cstdlib>

namespace {
// A program that started but cannot leave its mark stops with this status
// (sysexits' "cannot create output file"), and tools/wine-run, which knows it
// too, fails the run rather than take it for a start Wine refused. Going on
// unmarked would make any failure of the program look like a refusal, and so
// have it run again until it passes.
constexpr int mark_unwritable = 73;

struct start_mark {
  start_mark() {
    const char* path = std::getenv("CHIRPLINE_START_MARK");
    if (path == nullptr) return;
    if (std::FILE* file = std::fopen(path, "w")) {
      if (std::fclose(file) == 0) return;
    }
    std::fprintf(stderr, "start mark: cannot write %s; stopping before the program's first line\n", path);
    std::fflush(stderr);
    std::_Exit(mark_unwritable);
  }
};
// Before every other static of the program, so that no line of it runs unmarked.
__attribute__((init_priority(101))) const start_mark mark;
} // namespace
