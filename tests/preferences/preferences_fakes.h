// Host-side stand-ins for the page tests: a counted listener, a version
// service and a host API that offers them.
#pragma once
#include "host/console.h"
#include "host/host_api.h"
#include "host/preferences.h"
#include "runtime/module_state.h"
#include "settings/cfg_var.h"
#include "support/pfc/string8.h"

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

class fake_listener final : public counted_fake<page_state_listener> {
public:
  void notify_state_change() override { ++notifications; }
  int notifications = 0;
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

// Offers `versions` instances of host_version_info and one console.
class fake_host_api final : public host_api {
public:
  std::uint32_t find_class(const guid& class_guid) override {
    return class_guid == host_version_info_class_guid ? 1 : class_guid == console_class_guid ? 2 : 0;
  }
  bool create_instance(service_base*& out_ref, std::uint32_t class_handle, std::uint32_t index) override {
    service_base* offered = class_handle == 1 && index < versions ? static_cast<service_base*>(&version)
                            : class_handle == 2 && index == 0     ? static_cast<service_base*>(&console)
                                                                  : nullptr;
    if (offered == nullptr) return false;
    offered->add_ref();
    if (out_ref != nullptr) out_ref->release();
    out_ref = offered;
    return true;
  }
  std::uint32_t count_instances(std::uint32_t class_handle) override {
    return class_handle == 1 ? versions : class_handle == 2 ? 1 : 0;
  }

  std::uint32_t versions = 1;
  fake_version version;
  fake_console console;
};

// Puts the stand-in host in place and the settings at their defaults.
class scoped_fake_host {
public:
  scoped_fake_host() {
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
  fake_host_api api;
};
