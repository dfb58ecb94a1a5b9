// The real cor_chirpline.dll driven by a host that knows only the host
// declarations: the entry point, the client interface by slot number, the
// factory chain read word by word, and exceptions raised inside the component
// caught by the host.
#include "binary_host_win32.h"
#include "fake_host.h"
#include "host/console.h"
#include "host/identity.h"
#include "host/playback.h"
#include "host/preferences.h"
#include "host/settings_stream.h"
#include "host/titleformat.h"
#include "memory_streams.h"
#include "text_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The order in which the host must meet the component's factories.
const guid* const required_chain_order[] = {&play_callback_static_class_guid, &preferences_page_class_guid,
                                            &componentversion_class_guid, &component_installation_validator_class_guid};

// -- host-side objects --

// A host service living on the test's stack; its count shows what the
// component took and gave back.
template <typename Interface> class host_service : public Interface {
public:
  std::int32_t add_ref() override { return ++count; }
  std::int32_t release() override { return --count; }
  bool query_class(service_base*&, const guid&) override { return false; }
  std::int32_t count = 0;
};

class host_script final : public host_service<titleformat_script> {};

class host_compiler final : public host_service<titleformat_compiler> {
public:
  bool compile_pattern(titleformat_script*& out_script, const char*) override {
    script.add_ref();
    if (out_script != nullptr) out_script->release();
    out_script = &script;
    return true;
  }
  host_script script;
};

class host_track final : public host_service<track_handle> {
public:
  const char* track_location() override { return "memory://track"; }
  bool render_title(void*, pfc::string_base& out_text, titleformat_script*, void*) override {
    out_text.assign_text("A Song", 6);
    return true;
  }
};

class host_console final : public host_service<console_service> {
public:
  void print(const char* text, std::uint32_t length) override {
    lines.push_back(length == 0xFFFFFFFFu ? std::string(text) : std::string(text, length));
  }
  std::vector<std::string> lines;
};

// The settings record that switches sending to mIRC off: the flag's
// identifier {D199EB67-EF98-4FC6-970C-2E6C38329405}, size 1, value 0.
std::vector<std::uint8_t> sending_off_record() {
  std::vector<std::uint8_t> record;
  append_record(record, enabled_id, {0});
  return record;
}

// -- the fixture: one load of the DLL per test --

class ComponentBinary : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(library.module(), nullptr) << "cor_chirpline.dll did not load";
    const corvane_get_interface_fn entry = library.entry_point();
    ASSERT_NE(entry, nullptr) << "corvane_get_interface is not exported";
    client = entry(&host, library.module());
    ASSERT_NE(client, nullptr);
  }

  // Factory nodes read as the host reads them: three words each.
  struct node_words {
    const void* table;
    const void* next;
    const guid* class_guid;
  };
  std::vector<const void*> chain() const {
    std::vector<const void*> nodes;
    for (const void* node = call_slot<const void*>(client, 1); node != nullptr && nodes.size() < 16;
         node = static_cast<const node_words*>(node)->next)
      nodes.push_back(node);
    return nodes;
  }
  // The one service of the component's factory registered under class_guid.
  service_base* service_of(const guid& class_guid) const {
    for (const void* node : chain())
      if (*static_cast<const node_words*>(node)->class_guid == class_guid) {
        service_base* out = nullptr;
        call_slot<void>(node, 0, &out);
        return out;
      }
    return nullptr;
  }
  play_callback_static* playback() const {
    return static_cast<play_callback_static*>(service_of(play_callback_static_class_guid));
  }

  component_library library;
  fake_host host; // gives back a filled slot's old reference, as the player does
  component_client* client = nullptr;
  counting_abort keep_going; // never says abort
};

TEST_F(ComponentBinary, ClientSlotsInOrder) {
  EXPECT_EQ(call_slot<std::uint32_t>(client, 0), 76u);
  EXPECT_EQ(call_slot<const void*>(client, 1), static_cast<const void*>(client->first_factory()));
  EXPECT_FALSE(call_slot<bool>(client, 6));
  memory_writer out;
  call_slot<void>(client, 2, static_cast<settings_writer*>(&out), static_cast<abort_handle*>(&keep_going));
  memory_reader in(out.bytes());
  call_slot<void>(client, 3, static_cast<settings_reader*>(&in), static_cast<abort_handle*>(&keep_going));
  EXPECT_EQ(in.position(), out.bytes().size()) << "load_settings should read back all that save_settings wrote";
  call_slot<void>(client, 5, true);
  call_slot<void>(client, 5, false);
  EXPECT_EQ(call_slot<std::uint32_t>(client, 0), 76u);
  EXPECT_EQ(client->client_version(), 76u);
  EXPECT_FALSE(client->is_debug_build());
}

TEST_F(ComponentBinary, SecondEntryCallReplacesTheHost) {
  auto* track_callback = playback();
  ASSERT_NE(track_callback, nullptr) << "the component registers a playback callback";
  fake_host other;
  host_compiler compiler;
  host.record_calls = true;
  other.record_calls = true;
  other.offer(titleformat_compiler_class_guid, &compiler);
  memory_reader settings(sending_off_record());
  client->load_settings(settings, keep_going);
  EXPECT_EQ(library.entry_point()(&other, library.module()), client);
  host_track track;
  track.add_ref(); // handed over with the call
  static_cast<play_callback*>(track_callback)->on_new_track(&track);
  EXPECT_TRUE(host.calls.empty()) << "the replaced host was still asked";
  EXPECT_NE(std::count(other.calls.begin(), other.calls.end(), "find 100"), 0) << "the compiler was not looked up";
  EXPECT_EQ(track.count, 0);
  EXPECT_EQ(compiler.count, 0);
  EXPECT_EQ(compiler.script.count, 0);
}

TEST_F(ComponentBinary, FactoryChainInRequiredOrder) {
  const std::vector<const void*> nodes = chain();
  ASSERT_LT(nodes.size(), 16u) << "the chain does not end";
  std::size_t position = 0;
  for (const void* node : nodes) {
    const node_words& words = *static_cast<const node_words*>(node);
    EXPECT_EQ(module_of(node), library.module()) << "node outside the component";
    EXPECT_EQ(module_of(words.table), library.module()) << "table outside the component";
    EXPECT_EQ(module_of(words.class_guid), library.module()) << "class identifier outside the component";
    std::size_t rank = 0;
    while (rank < 4 && *required_chain_order[rank] != *words.class_guid)
      ++rank;
    ASSERT_LT(rank, 4u) << "unexpected factory class";
    EXPECT_GE(rank, position) << "factory out of order";
    position = rank + 1;
  }
  // Playback callback, preferences page, component information, installation validator.
  EXPECT_EQ(nodes.size(), 4u);
}

TEST_F(ComponentBinary, FactoriesYieldOneUncountedObject) {
  constexpr guid nobody = {0xDEADBEEF, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  for (const void* node : chain()) {
    const guid& cls = *static_cast<const node_words*>(node)->class_guid;
    service_base* first = nullptr;
    service_base* second = nullptr;
    call_slot<void>(node, 0, &first);
    call_slot<void>(node, 0, &second);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(call_slot<std::int32_t>(first, 0), 1); // release
    EXPECT_EQ(call_slot<std::int32_t>(first, 1), 1); // add_ref
    service_base* out = nullptr;
    EXPECT_TRUE(call_slot<bool>(first, 2, &out, &cls)); // query_class
    EXPECT_EQ(out, first);
    service_base* untouched = reinterpret_cast<service_base*>(0x1234);
    EXPECT_FALSE(call_slot<bool>(first, 2, &untouched, &nobody));
    EXPECT_EQ(untouched, reinterpret_cast<service_base*>(0x1234));
  }
}

TEST_F(ComponentBinary, ModulePathIsCopiedAndNullIsEmpty) {
  auto* version = static_cast<componentversion*>(service_of(componentversion_class_guid));
  auto* validator =
      static_cast<component_installation_validator*>(service_of(component_installation_validator_class_guid));
  ASSERT_NE(version, nullptr) << "the component registers its information service";
  ASSERT_NE(validator, nullptr) << "the component registers its installation check";
  text_sink name;
  version->report_file_name(name);
  EXPECT_EQ(name.text(), "");
  EXPECT_FALSE(validator->check_installation());

  char path[] = "C:\\Corvane\\components\\cor_chirpline.dll";
  char file[] = "cor_chirpline.dll";
  call_slot<void>(client, 4, static_cast<const char*>(path), static_cast<const char*>(file));
  std::memset(path, 'x', sizeof path - 1);
  std::memset(file, 'x', sizeof file - 1);
  version->report_file_name(name);
  EXPECT_EQ(name.text(), "cor_chirpline.dll");
  EXPECT_TRUE(validator->check_installation());

  client->set_module_path(nullptr, nullptr);
  version->report_file_name(name);
  EXPECT_EQ(name.text(), "");
  EXPECT_FALSE(validator->check_installation());
  client->set_module_path("", "");
  EXPECT_FALSE(validator->check_installation());
}

TEST_F(ComponentBinary, ServicesReadyGatesTheConsole) {
  auto* track_callback = playback();
  ASSERT_NE(track_callback, nullptr) << "the component registers a playback callback";
  host_compiler compiler;
  host_console console;
  host.offer(titleformat_compiler_class_guid, &compiler);
  host.offer(console_class_guid, &console);
  memory_reader settings(sending_off_record());
  client->load_settings(settings, keep_going);
  host_track track;
  track.add_ref();
  static_cast<play_callback*>(track_callback)->on_new_track(&track);
  EXPECT_TRUE(console.lines.empty());
  call_slot<void>(client, 5, true);
  track.add_ref();
  static_cast<play_callback*>(track_callback)->on_new_track(&track);
  ASSERT_FALSE(console.lines.empty());
  EXPECT_NE(console.lines.back().find("A Song"), std::string::npos);
  const std::size_t lines = console.lines.size();
  call_slot<void>(client, 5, false);
  track.add_ref();
  static_cast<play_callback*>(track_callback)->on_new_track(&track);
  EXPECT_EQ(console.lines.size(), lines);
  EXPECT_EQ(track.count, 0);
  EXPECT_EQ(console.count, 0);
}

// An exception raised inside the component reaches the host's handler with
// its message, and the component gives back what it held on the way out.
TEST_F(ComponentBinary, ComponentExceptionsReachTheHost) {
  counting_abort stop(0); // says abort at the first question
  memory_writer out;
  try {
    client->save_settings(out, stop);
    ADD_FAILURE() << "save_settings ignored the abort";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "User abort");
  }

  breaking_reader broken; // breaks before its first byte
  try {
    client->load_settings(broken, keep_going);
    ADD_FAILURE() << "the host's stream error vanished";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "disk gone");
  }

  auto* track_callback = playback();
  ASSERT_NE(track_callback, nullptr) << "the component registers a playback callback";
  host_track track;
  track.add_ref();
  try {
    static_cast<play_callback*>(track_callback)->on_new_track(&track);
    ADD_FAILURE() << "no exception without a title-format compiler";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Service not found");
  }
  EXPECT_EQ(track.count, 0);

  host_compiler one, two;
  host.offer(titleformat_compiler_class_guid, &one);
  host.offer(titleformat_compiler_class_guid, &two);
  track.add_ref();
  try {
    static_cast<play_callback*>(track_callback)->on_new_track(&track);
    ADD_FAILURE() << "no exception with two title-format compilers";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Service duplicated");
  }
  EXPECT_EQ(track.count, 0);
  EXPECT_EQ(one.count + two.count, 0);
}

// The file properties, read back as Explorer reads them, carry the version the
// component reports to the player, padded to the four numbers Windows shows.
std::wstring version_value(const std::vector<char>& block, const std::wstring& language, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\" + language + L"\\" + name;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || length == 0) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST_F(ComponentBinary, FilePropertiesCarryTheReportedVersion) {
  auto* version = static_cast<componentversion*>(service_of(componentversion_class_guid));
  ASSERT_NE(version, nullptr);
  text_sink reported;
  version->report_version(reported);
  unsigned numbers[4] = {};
  ASSERT_GE(std::sscanf(reported.text().c_str(), "%u.%u.%u.%u", &numbers[0], &numbers[1], &numbers[2], &numbers[3]), 2);
  const std::wstring four = std::to_wstring(numbers[0]) + L"." + std::to_wstring(numbers[1]) + L"." +
                            std::to_wstring(numbers[2]) + L"." + std::to_wstring(numbers[3]);

  const std::wstring path = component_path();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "cor_chirpline.dll has no version resource";
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, (numbers[0] << 16) | numbers[1]);
  EXPECT_EQ(fixed->dwFileVersionLS, (numbers[2] << 16) | numbers[3]);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  // The strings live under the language the resource itself names.
  WORD* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  wchar_t language[9];
  std::swprintf(language, 9, L"%04x%04x", translation[0], translation[1]);
  EXPECT_EQ(version_value(block, language, L"FileVersion"), four);
  EXPECT_EQ(version_value(block, language, L"ProductVersion"), four);
  EXPECT_EQ(version_value(block, language, L"FileVersion"), L"0.1.0.0");
  EXPECT_EQ(version_value(block, language, L"OriginalFilename"), L"cor_chirpline.dll");
  EXPECT_EQ(version_value(block, language, L"InternalName"), L"cor_chirpline");
  EXPECT_EQ(version_value(block, language, L"ProductName"), L"Chirpline");
  EXPECT_NE(version_value(block, language, L"FileDescription").find(L"mIRC"), std::wstring::npos);
  EXPECT_NE(version_value(block, language, L"LegalCopyright").find(L"MIT"), std::wstring::npos);
}

} // namespace
