// The entry point of a console program with wmain.
#include "program_startup.h"

int wmain(int argc, wchar_t** argv);

extern "C" int wmainCRTStartup() {
  _configure_wide_argv(1);
  _initialize_wide_environment();
  start_program();
  exit(wmain(*__p___argc(), *__p___wargv()));
}
