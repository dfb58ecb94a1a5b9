// Built in Microsoft's C++ ABI only (the msvc trees), as a player built with
// Microsoft's compiler: exceptions that leave cor_chirpline.dll are caught here
// by their type through vcruntime140, with their own text, and shared.dll's
// call-stack tracker is back where it was after each. No test framework: the
// program is as small as the player's side of the contract.
#include "binary_host_win32.h"
#include "fake_host.h"
#include "host/playback.h"
#include "host/preferences.h"
#include "host/shared_api.h"
#include "memory_streams.h"
#include "support/pfc/exceptions.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>

namespace {

int g_failures = 0;
void check(bool ok, const char* what, int line) {
  if (ok) return;
  std::fprintf(stderr, "msvc_abi_exceptions_win32_test.cpp:%d: failed: %s\n", line, what);
  ++g_failures;
}
#define CHECK(condition) check((condition), #condition, __LINE__)

class host_track final : public track_handle {
public:
  std::int32_t add_ref() override { return ++count; }
  std::int32_t release() override { return --count; }
  bool query_class(service_base*&, const guid&) override { return false; }
  const char* track_location() override { return "memory://track"; }
  bool render_title(void*, pfc::string_base& out_text, titleformat_script*, void*) override {
    out_text.assign_text("A Song", 6);
    return true;
  }
  std::int32_t count = 0;
};

class host_listener final : public page_state_listener {
public:
  std::int32_t add_ref() override { return ++count; }
  std::int32_t release() override { return --count; }
  bool query_class(service_base*&, const guid&) override { return false; }
  void notify_state_change() override {}
  std::int32_t count = 0;
};

// The one service the component's factory chain registers under class_guid.
service_base* service_of(component_client* client, const guid& class_guid) {
  struct node_words {
    const void* table;
    const void* next;
    const guid* class_guid;
  };
  for (const void* node = call_slot<const void*>(client, 1); node != nullptr;
       node = static_cast<const node_words*>(node)->next)
    if (*static_cast<const node_words*>(node)->class_guid == class_guid) {
      service_base* out = nullptr;
      call_slot<void>(node, 0, &out);
      return out;
    }
  return nullptr;
}

} // namespace

int wmain(int, wchar_t**) {
  component_library library;
  CHECK(library.module() != nullptr);
  if (library.module() == nullptr || library.entry_point() == nullptr) return 1;
  fake_host host;
  component_client* const client = library.entry_point()(&host, library.module());
  CHECK(client != nullptr);
  if (client == nullptr) return 1;

  // A missing service: raised inside the component, past its frames, here.
  auto* const playback = static_cast<play_callback_static*>(service_of(client, play_callback_static_class_guid));
  CHECK(playback != nullptr);
  host_track track;
  track.add_ref();
  bool caught = false;
  try {
    if (playback != nullptr) static_cast<play_callback*>(playback)->on_new_track(&track);
  } catch (const exception_service_not_found& e) {
    caught = std::strcmp(e.what(), "Service not found") == 0;
  }
  CHECK(caught);
  CHECK(track.count == 0);
  CHECK(uCallStackDepth() == 0);

  // A damaged settings stream: the player's reader raises, the component's
  // load passes it on, the player catches it as the type its reader raised.
  std::vector<std::uint8_t> damaged;
  append_record_head(damaged, enabled_id, 1);
  damaged.resize(damaged.size() - 2); // the size cut short
  memory_reader reader(damaged, false);
  counting_abort keep_going;
  caught = false;
  try {
    client->load_settings(reader, keep_going);
  } catch (const corvane_io::exception_io_data_truncation& e) {
    caught = std::strcmp(e.what(), "Unsupported format or corrupted file") == 0;
  }
  CHECK(caught);
  CHECK(uCallStackDepth() == 0);

  // A platform failure: the component's exception_win32, raised with its
  // text on the tracker, which is left again before the player's catch runs.
  auto* const page = static_cast<preferences_page_v3*>(service_of(client, preferences_page_class_guid));
  CHECK(page != nullptr);
  host_listener listener;
  listener.add_ref();
  caught = false;
  try {
    if (page != nullptr) page->make_instance(reinterpret_cast<window_handle_t>(0x1234), &listener);
  } catch (const std::exception& e) {
    caught = std::strcmp(e.what(), "Invalid window handle.") == 0; // the system's text for 1400
    if (!caught) std::fprintf(stderr, "the page window's failure said: %s\n", e.what());
  }
  CHECK(caught);
  CHECK(std::strcmp(uCallStackLastEntered(), "Win32 error #1400") == 0);
  CHECK(uCallStackDepth() == 0);
  CHECK(listener.count == 0);

  // An exception kept over a callback and raised again after it, as the
  // component does around its window walk and its dialog: every
  // exception_ptr is gone before the catch reads what it caught.
  caught = false;
  try {
    std::exception_ptr kept;
    try {
      throw std::runtime_error("kept over a callback");
    } catch (...) {
      kept = std::current_exception();
    }
    std::rethrow_exception(kept);
  } catch (const std::runtime_error& e) {
    caught = std::strcmp(e.what(), "kept over a callback") == 0;
  }
  CHECK(caught);

  if (page != nullptr) page->release();
  if (playback != nullptr) playback->release();
  std::printf("%s\n", g_failures == 0 ? "all passed" : "FAILED");
  return g_failures == 0 ? 0 : 1;
}
