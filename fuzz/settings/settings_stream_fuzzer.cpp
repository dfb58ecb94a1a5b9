// Feeds arbitrary bytes to the component's load_settings through a host-style
// reader and checks the outcome against a plain model of the stream format:
// whether loading fails, and the exact values both variables end with (each
// either its old value or one taken from a completely read record). A load
// that succeeds must also survive a save and a second load unchanged.
//
// Longer run (from the repository root, after tools/build fuzz):
//   build/fuzz/fuzz/settings/settings_stream_fuzzer -max_total_time=600 -max_len=2048 \
//     build/fuzz/settings-corpus fuzz/settings/corpus
// (create build/fuzz/settings-corpus first; new findings land there, the seeds stay as they are).
#include "host/client_interface.h"
#include "memory_streams.h"
#include "settings/cfg_var.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" component_client* corvane_get_interface(host_api* api, void* module_handle);

namespace {

struct expected_outcome {
  std::uint8_t enabled;
  std::string pattern;
  bool fails = false;
};

expected_outcome model(const std::uint8_t* data, std::size_t length, std::uint8_t enabled, const std::string& pattern) {
  expected_outcome out{enabled, pattern};
  std::size_t pos = 0;
  while (length - pos >= 16) {
    const std::uint8_t* id = data + pos;
    pos += 16;
    if (length - pos < 4) {
      out.fails = true;
      break;
    }
    const std::uint32_t size = static_cast<std::uint32_t>(data[pos]) | static_cast<std::uint32_t>(data[pos + 1]) << 8 |
                               static_cast<std::uint32_t>(data[pos + 2]) << 16 |
                               static_cast<std::uint32_t>(data[pos + 3]) << 24;
    pos += 4;
    const std::size_t available = size < length - pos ? size : length - pos;
    if (std::memcmp(id, enabled_id, 16) == 0) {
      if (available >= 1) out.enabled = data[pos];
    } else if (std::memcmp(id, pattern_id, 16) == 0) {
      // Beyond 16 MiB a payload is passed over as damaged, whole or not.
      if (available == size && size <= (16u << 20)) out.pattern = pattern_from_payload(data + pos, size);
    }
    if (available < size) {
      out.fails = true;
      break;
    }
    pos += size;
  }
  return out;
}

void set_values(const std::string& pattern, std::uint8_t enabled) {
  cfg_title_pattern.assign_text(pattern.c_str(), static_cast<std::uint32_t>(pattern.size()));
  cfg_enabled.value = enabled;
}

std::string pattern_now() { return std::string(cfg_title_pattern.text_ptr(), cfg_title_pattern.text_length()); }

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "settings_stream_fuzzer: %s\n", what);
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static component_client* client = corvane_get_interface(nullptr, nullptr);
  const std::string old_pattern = "old \xE2\x99\xAA pattern";
  const std::uint8_t old_enabled = 0x5A;
  set_values(old_pattern, old_enabled);
  const expected_outcome expected = model(data, size, old_enabled, old_pattern);

  memory_reader reader(data, size, /*host_truncation=*/false);
  counting_abort abort;
  bool failed = false;
  try {
    client->load_settings(reader, abort);
  } catch (const corvane_io::exception_io_data_truncation& e) {
    failed = true;
    if (std::strcmp(e.what(), "Unsupported format or corrupted file") != 0) fail("wrong message");
  }
  if (failed != expected.fails) fail(failed ? "load failed on a sound stream" : "load accepted a damaged stream");
  if (cfg_enabled.value != expected.enabled) fail("flag differs from the model");
  if (pattern_now() != expected.pattern) fail("pattern is neither the old one nor a whole record's");

  if (!failed) {
    memory_writer writer;
    client->save_settings(writer, abort);
    if (writer.bytes().size() != 21 + 20 + expected.pattern.size()) fail("saved stream has the wrong size");
    set_values("", 0);
    memory_reader again(writer.bytes(), false);
    client->load_settings(again, abort);
    if (cfg_enabled.value != expected.enabled || pattern_now() != expected.pattern) fail("round trip changed a value");
  }
  return 0;
}
