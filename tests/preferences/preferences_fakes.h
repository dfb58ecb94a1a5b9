// Host-side stand-ins for the page tests: a counted listener, a version
// service and a console, and the shared fake host offering them.
#pragma once
#include "fake_host.h"
#include "host/console.h"
#include "host/preferences.h"
#include "runtime/module_state.h"
#include "settings/cfg_var.h"
#include "support/pfc/string8.h"

#include <functional>
#include <string>
#include <vector>

// A heap-like counted object whose count the test can read; never freed.
template <typename Interface> class counted_fake : public Interface {
public:
  std::int32_t release() override { return --count; }
  std::int32_t add_ref() override { return ++count; }
  bool query_class(service_base*&, const guid&) override { return false; }
  std::int32_t count = 1; // the test's own reference
};

// Counts its notices; on_notice, when set, looks at the page as a host does
// when told.
class fake_listener final : public counted_fake<page_state_listener> {
public:
  void notify_state_change() override {
    ++notifications;
    if (on_notice) on_notice();
  }
  int notifications = 0;
  std::function<void()> on_notice;
};

class fake_version final : public counted_fake<host_version_info> {
public:
  const char* version_text() override { return text.c_str(); }
  std::string text = "2.1.4";
};

class fake_console final : public counted_fake<console_service> {
public:
  void print(const char* text, std::uint32_t) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

// Puts a host offering one version service and one console in place, and the
// settings at their defaults.
class scoped_fake_host {
public:
  scoped_fake_host() {
    offer_versions(1);
    api.offer(console_class_guid, &console);
    set_module_host_api(&api);
    restore_default_settings();
  }
  ~scoped_fake_host() {
    set_module_host_api(nullptr);
    restore_default_settings();
  }
  static void restore_default_settings() {
    cfg_enabled.value = 1;
    cfg_title_pattern.assign_text(cfg_title_pattern_default, pfc::infinite_length);
  }
  // The same version service, offered `count` times over.
  void offer_versions(unsigned count) {
    api.withdraw_all(host_version_info_class_guid);
    for (unsigned i = 0; i < count; ++i)
      api.offer(host_version_info_class_guid, &version);
  }

  fake_version version;
  fake_console console;
  fake_host api;
};
