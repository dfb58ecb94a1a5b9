// The entry point of a console program with main.
#include "program_startup.h"

int main(int argc, char** argv);

extern "C" int mainCRTStartup() {
  _configure_narrow_argv(1);
  _initialize_narrow_environment();
  start_program();
  exit(main(*__p___argc(), *__p___argv()));
}
