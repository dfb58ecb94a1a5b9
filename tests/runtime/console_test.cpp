#include "allocation_probe.h"
#include "fake_host.h"
#include "host/client_interface.h"
#include "host/console.h"
#include "runtime/console.h"
#include "runtime/module_state.h"
#include "support/pfc/memory.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

extern "C" component_client* corvane_get_interface(host_api* api, void* module_handle);

namespace {

// Every print any console received, in order: (console number, text).
std::vector<std::pair<int, std::string>> g_printed;

class recording_console final : public console_service {
public:
  explicit recording_console(int number) : number_(number) {}
  std::int32_t release() override { return --references; }
  std::int32_t add_ref() override { return ++references; }
  bool query_class(service_base*&, const guid&) override { return false; }
  void print(const char* text, std::uint32_t length) override {
    EXPECT_EQ(length, 0xFFFFFFFFu);
    g_printed.emplace_back(number_, text);
  }
  std::int32_t references = 0;

private:
  int number_;
};

class ConsoleLines : public ::testing::Test {
protected:
  void SetUp() override {
    g_printed.clear();
    host.offer(console_class_guid, &first);
    host.offer(console_class_guid, &second);
    client = corvane_get_interface(&host, nullptr);
    client->set_services_ready(true);
  }
  void TearDown() override {
    client->set_services_ready(false);
    // Every reference the component took was given back.
    EXPECT_EQ(first.references, 0);
    EXPECT_EQ(second.references, 0);
    set_module_host_api(nullptr); // the host goes with the fixture
  }
  std::vector<std::pair<int, std::string>> printed(std::initializer_list<const char*> lines) {
    std::vector<std::pair<int, std::string>> expected;
    for (const char* line : lines) {
      expected.emplace_back(0, line);
      expected.emplace_back(1, line);
    }
    return expected;
  }

  recording_console first{0}, second{1};
  fake_host host;
  component_client* client = nullptr;
};

TEST_F(ConsoleLines, ReachEveryConsoleOnceEachInTheHostsOrder) {
  console_info("found mirc window");
  console_error("cannot open the shared block");
  console_print("one line");
  EXPECT_EQ(g_printed, printed({"Chirpline: found mirc window", "Error: cannot open the shared block", "one line"}));
}

TEST_F(ConsoleLines, InformationalLinesAreNotLabelledAsErrors) {
  console_info("Successful");
  console_info("");
  console_error("");
  console_info("Successful track", 10); // a string's text with its length
  EXPECT_EQ(g_printed, printed({"Chirpline: Successful", "Chirpline: ", "Error: ", "Chirpline: Successful"}));
}

TEST_F(ConsoleLines, AnEmptyLineIsNeverEmitted) {
  console_print("");
  console_print(nullptr);
  EXPECT_TRUE(g_printed.empty());
}

TEST_F(ConsoleLines, AreDroppedBeforeTheServicesAreReadyAndAfterTheyAreGone) {
  client->set_services_ready(false);
  console_info("too early");
  client->set_services_ready(true);
  console_info("in time");
  client->set_services_ready(false);
  console_info("too late");
  console_error("too late");
  EXPECT_EQ(g_printed, printed({"Chirpline: in time"}));
}

TEST_F(ConsoleLines, WithoutAnyConsoleNothingHappens) {
  host.withdraw_all(console_class_guid);
  EXPECT_NO_THROW(console_info("nobody listens"));
  EXPECT_TRUE(g_printed.empty());
}

TEST_F(ConsoleLines, ALineAbandonedByAnAllocationFailureIsNotEmitted) {
  try {
    const allocation_probe refuse_all(0, 0);
    console_info("never shown");
    ADD_FAILURE() << "nothing was thrown";
  } catch (const std::bad_alloc& e) {
    EXPECT_STREQ(e.what(), "bad allocation");
  }
  EXPECT_TRUE(g_printed.empty());
}

TEST_F(ConsoleLines, AConsoleThatThrowsStopsTheLineAndTheReferenceIsStillReleased) {
  class throwing_console final : public console_service {
  public:
    std::int32_t release() override { return --references; }
    std::int32_t add_ref() override { return ++references; }
    bool query_class(service_base*&, const guid&) override { return false; }
    void print(const char*, std::uint32_t) override { throw std::runtime_error("console full"); }
    std::int32_t references = 0;
  } broken;
  host.withdraw_all(console_class_guid);
  host.offer(console_class_guid, &first);
  host.offer(console_class_guid, &broken);
  EXPECT_THROW(console_info("x"), std::runtime_error);
  EXPECT_EQ(broken.references, 0);
  EXPECT_EQ(g_printed, (std::vector<std::pair<int, std::string>>{{0, "Chirpline: x"}}));
}

} // namespace
