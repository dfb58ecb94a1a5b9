// corvane-host: a stand-in for the Corvane player. Loads a component DLL by
// path, offers it a console and other host services, and drives it.
#include "console_stdout.h"
#include "host_commands.h"
#include "settings_file_win32.h"
#include "text_win32.h"

#include <cstdio>
#include <cwchar>
#include <exception>

#include <windows.h>

namespace {

void print_help() {
  std::printf("usage: corvane-host [--dll PATH] [--settings FILE] [COMMAND [ARGS]]\n"
              "\n"
              "Loads a Corvane component the way the player does (corvane_get_interface,\n"
              "client version check, module path, services declared ready) and runs COMMAND.\n"
              "\n"
              "  --dll PATH        the component (default: components\\cor_chirpline.dll beside this\n"
              "                    program, else cor_chirpline.dll beside it); loaded by full path,\n"
              "                    the DLLs it needs looked for beside it\n"
              "  --settings FILE   settings file handed to the component at start and saved at exit\n"
              "  --help            this text\n"
              "\ncommands:\n");
  for (std::size_t i = 0; i < host_command_count; ++i) {
    const host_command& c = host_command_table[i];
    std::printf("  %-10s %-16s %s\n", to_utf8(c.name).c_str(), c.usage, c.summary);
  }
  std::printf("\nExit status: 0 on success, 1 when the component raised an error, 2 when it could not be loaded,\n"
              "the command line is wrong or the player could not do its part (prefs with no display).\n");
}

// The player's components folder beside it, as installed; a build folder
// holds the component beside the program instead.
std::wstring default_dll_path() {
  wchar_t self[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring path(self, n);
  auto cut = path.find_last_of(L"\\/");
  const std::wstring folder = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
  const std::wstring installed = folder + L"components\\cor_chirpline.dll";
  if (GetFileAttributesW(installed.c_str()) != INVALID_FILE_ATTRIBUTES) return installed;
  return folder + L"cor_chirpline.dll";
}

const host_command* find_command(const std::wstring& name) {
  for (std::size_t i = 0; i < host_command_count; ++i)
    if (name == host_command_table[i].name) return &host_command_table[i];
  return nullptr;
}

int run(int argc, wchar_t** argv) {
  host_options options;
  std::vector<std::wstring> rest;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--help" || a == L"-h" || a == L"/?") {
      print_help();
      return 0;
    }
    if ((a == L"--dll" || a == L"--settings") && i + 1 < argc) {
      (a == L"--dll" ? options.dll_path : options.settings_path) = argv[++i];
    } else if (a == L"--dll" || a == L"--settings") {
      std::fprintf(stderr, "corvane-host: %s needs a value\n", to_utf8(a).c_str());
      return 2;
    } else if (rest.empty() && a.compare(0, 2, L"--") == 0) {
      std::fprintf(stderr, "corvane-host: unknown option %s (try --help)\n", to_utf8(a).c_str());
      return 2;
    } else {
      rest.push_back(a);
    }
  }
  if (options.dll_path.empty()) options.dll_path = default_dll_path();
  const std::wstring name = rest.empty() ? L"info" : rest.front();
  const host_command* command = find_command(name);
  if (command == nullptr) {
    std::fprintf(stderr, "corvane-host: unknown command '%s' (try --help)\n", to_utf8(name).c_str());
    return 2;
  }
  if (!rest.empty()) rest.erase(rest.begin());
  if (rest.size() < command->fewest_args) {
    std::fprintf(stderr, "corvane-host: %s needs %s\n", to_utf8(command->name).c_str(), command->usage);
    return 2;
  }
  if (rest.size() > command->most_args) {
    std::fprintf(stderr, "corvane-host: %s takes %s; %s is one too many\n", to_utf8(command->name).c_str(),
                 *command->usage != '\0' ? command->usage : "no arguments", to_utf8(rest[command->most_args]).c_str());
    return 2;
  }

  host_registry registry;
  auto console = make_host_service<console_stdout>();
  registry.add(console_class_guid, console.get());
  try {
    loaded_component component(options.dll_path, registry);
    host_session session{options, registry, component};
    // Settings go in before the services are declared ready and come out after
    // the command, failed or not; a file that could not be read is not saved over.
    host_abort_handle abort;
    const bool keep_settings =
        !options.settings_path.empty() &&
        load_settings_file(component.client(), options.settings_path, abort) != settings_load_result::not_readable;
    component.set_services_ready(true);
    int status = 1;
    try {
      status = command->run(session, rest);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "corvane-host: the component raised: %s\n", e.what());
    }
    if (keep_settings && !save_settings_file(component.client(), options.settings_path, abort) && status == 0)
      status = 1;
    return status;
  } catch (const component_load_error& e) {
    std::fprintf(stderr, "corvane-host: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corvane-host: the component raised: %s\n", e.what());
    return 1;
  }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corvane-host: %s\n", e.what());
    return 1;
  }
}
