// Linked into every program that CTest runs under Wine. Under load Wine can
// fail to start a program at all ("ShellExecuteEx failed: Internal error"),
// and the exit status alone cannot tell that from a test that ran and failed.
// So the program's first constructor makes the file CHIRPLINE_START_MARK
// names: tools/wine-run starts a program again only when Wine gave up before
// the mark, and never one that started.
#include <cstdio>
#include <cstdlib>

namespace {
struct start_mark {
  start_mark() {
    if (const char* path = std::getenv("CHIRPLINE_START_MARK")) {
      if (std::FILE* file = std::fopen(path, "w")) std::fclose(file);
    }
  }
};
// Before every other static of the program, so that no line of it runs unmarked.
__attribute__((init_priority(101))) const start_mark mark;
} // namespace
