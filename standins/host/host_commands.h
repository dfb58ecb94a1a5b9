// The stand-in host's commands. Each command lives in its own file and has one
// entry in the table in host_commands.cpp.
#pragma once
#include "component_module_win32.h"
#include "host_registry.h"

#include <string>
#include <vector>

struct host_options {
  std::wstring dll_path;      // the component to load
  std::wstring settings_path; // empty: no settings file
  bool quiet = false;
};

// What every command gets: the host's services and the loaded component.
struct host_session {
  host_options& options;
  host_registry& registry;
  loaded_component& component;
};

struct host_command {
  const wchar_t* name;
  const char* usage;   // arguments, for --help
  const char* summary; // one line, for --help
  // How many arguments it takes; checked before the component is loaded.
  std::size_t fewest_args, most_args;
  int (*run)(host_session& session, const std::vector<std::wstring>& args);
};

extern const host_command host_command_table[];
extern const std::size_t host_command_count;

int run_info(host_session& session, const std::vector<std::wstring>& args);
int run_about(host_session& session, const std::vector<std::wstring>& args);
int run_play(host_session& session, const std::vector<std::wstring>& args);
int run_prefs(host_session& session, const std::vector<std::wstring>& args);
