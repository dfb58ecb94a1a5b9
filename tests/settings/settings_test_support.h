// Shared by the settings tests: the client interface as the host reaches it,
// and the variables put back to known values before each test.
#pragma once
#include "host/client_interface.h"
#include "memory_streams.h"
#include "settings/cfg_var.h"

#include <gtest/gtest.h>

#include <string>

extern "C" component_client* corvane_get_interface(host_api* api, void* module_handle);

inline std::string pattern_text() { return std::string(cfg_title_pattern.text_ptr(), cfg_title_pattern.text_length()); }

class SettingsClient : public ::testing::Test {
protected:
  void SetUp() override {
    client = corvane_get_interface(nullptr, nullptr);
    ASSERT_NE(client, nullptr);
    set_values("%title% - %album%", 1);
  }

  static void set_values(const std::string& pattern, std::uint8_t enabled) {
    cfg_title_pattern.assign_text(pattern.c_str(), static_cast<std::uint32_t>(pattern.size()));
    cfg_enabled.value = enabled;
  }

  void load(memory_reader& reader) {
    counting_abort abort;
    client->load_settings(reader, abort);
  }
  void load(const std::vector<std::uint8_t>& data) {
    memory_reader reader(data);
    load(reader);
  }
  std::vector<std::uint8_t> save() {
    memory_writer writer;
    counting_abort abort;
    client->save_settings(writer, abort);
    return writer.bytes();
  }

  component_client* client = nullptr;
};

// Expects fn to throw exactly the type E with the message text.
template <typename E, typename Fn> void expect_throw_with(Fn&& fn, const char* text) {
  try {
    fn();
    ADD_FAILURE() << "nothing was thrown";
  } catch (const E& e) {
    EXPECT_STREQ(e.what(), text);
  }
}
