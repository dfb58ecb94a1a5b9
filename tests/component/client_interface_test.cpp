// The entry point and the client operations, called the way the host calls
// them, against the module-wide state they keep.
#include "allocation_probe.h"
#include "fake_host.h"
#include "host/client_interface.h"
#include "runtime/module_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

extern "C" component_client* corvane_get_interface(host_api* api, void* module_handle);

namespace {

class ClientInterface : public ::testing::Test {
protected:
  void TearDown() override {
    set_module_host_api(nullptr);
    set_module_path("", "");
    set_services_ready(false);
  }
};

TEST_F(ClientInterface, EntryPointStoresHostAndSecondCallOverwrites) {
  fake_host first, second; // offering nothing
  component_client* a = corvane_get_interface(&first, nullptr);
  EXPECT_EQ(module_host_api(), &first);
  component_client* b = corvane_get_interface(&second, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(module_host_api(), &second);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->client_version(), 76u);
  EXPECT_FALSE(a->is_debug_build());
  // A null directory is stored as given; lookups then find nothing.
  EXPECT_EQ(corvane_get_interface(nullptr, nullptr), a);
  EXPECT_EQ(module_host_api(), nullptr);
}

TEST_F(ClientInterface, ModulePathIsAnOwnedCopy) {
  component_client* client = corvane_get_interface(nullptr, nullptr);
  EXPECT_STREQ(module_path(), "");
  EXPECT_STREQ(module_file_name(), "");
  char path[] = "C:\\Program Files\\Corvane\\components\\cor_chirpline.dll";
  char name[] = "cor_chirpline.dll";
  client->set_module_path(path, name);
  std::memset(path, '#', sizeof path - 1);
  std::memset(name, '#', sizeof name - 1);
  EXPECT_STREQ(module_path(), "C:\\Program Files\\Corvane\\components\\cor_chirpline.dll");
  EXPECT_STREQ(module_file_name(), "cor_chirpline.dll");
}

TEST_F(ClientInterface, NullOrEmptyTextsReadAsEmpty) {
  component_client* client = corvane_get_interface(nullptr, nullptr);
  client->set_module_path("x:\\a.dll", "a.dll");
  client->set_module_path(nullptr, nullptr);
  EXPECT_STREQ(module_path(), "");
  EXPECT_STREQ(module_file_name(), "");
  client->set_module_path("", "b.dll");
  EXPECT_STREQ(module_path(), "");
  EXPECT_STREQ(module_file_name(), "b.dll");
}

TEST_F(ClientInterface, FailedCopyKeepsBothOldTexts) {
  set_module_path("old\\path.dll", "path.dll");
  for (unsigned k = 1; k <= 2; ++k) {
    allocation_probe probe(k);
    EXPECT_THROW(set_module_path("new\\other.dll", "other.dll"), std::bad_alloc) << k;
    EXPECT_STREQ(module_path(), "old\\path.dll");
    EXPECT_STREQ(module_file_name(), "path.dll");
  }
}

TEST_F(ClientInterface, ServicesReadyFollowsTheHost) {
  component_client* client = corvane_get_interface(nullptr, nullptr);
  EXPECT_FALSE(services_ready());
  client->set_services_ready(true);
  EXPECT_TRUE(services_ready());
  client->set_services_ready(false);
  EXPECT_FALSE(services_ready());
  EXPECT_EQ(client->client_version(), 76u);
}

} // namespace
