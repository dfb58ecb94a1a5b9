// A host for announcer tests: the stand-in player's registry, title-format
// engine and tracks, with a console that keeps its lines. Installs itself as
// the component's host and puts the settings back when it goes.
#pragma once
#include "console_stdout.h"
#include "host_ledger.h"
#include "host_registry.h"
#include "runtime/module_state.h"
#include "settings/cfg_var.h"
#include "titleformat_standin.h"

#include <algorithm>
#include <string>
#include <vector>

class announcer_test_host {
public:
  announcer_test_host() {
    registry.add(console_class_guid, console.get());
    registry.add(titleformat_compiler_class_guid, compiler.get());
    set_module_host_api(&registry);
    set_services_ready(true);
    cfg_enabled.value = 1;
    cfg_title_pattern.assign_text(cfg_title_pattern_default, pfc::infinite_length);
  }
  ~announcer_test_host() {
    set_services_ready(false);
    set_module_host_api(nullptr);
    cfg_enabled.value = 1;
    cfg_title_pattern.assign_text(cfg_title_pattern_default, pfc::infinite_length);
  }
  announcer_test_host(const announcer_test_host&) = delete;
  announcer_test_host& operator=(const announcer_test_host&) = delete;

  static host_ref<ledger_service_t<track_standin>> make_track(const std::string& title, const std::string& album,
                                                              const std::string& artist = "") {
    track_fields fields;
    fields.add("title", title);
    fields.add("album", album);
    if (!artist.empty()) fields.add("artist", artist);
    return make_ledger_service<track_standin>(std::move(fields), "test");
  }

  const std::vector<std::string>& lines() const { return console->lines(); }
  std::size_t count_lines(const std::string& line) const {
    return static_cast<std::size_t>(std::count(lines().begin(), lines().end(), line));
  }

  host_registry registry;
  host_ref<console_stdout> console = make_host_service<console_stdout>(nullptr);
  host_ref<ledger_service_t<titleformat_compiler_standin>> compiler =
      make_ledger_service<titleformat_compiler_standin>();
};
