#include "settings/cfg_var.h"
#include "support/pfc/exceptions.h"

// Constant-initialised, so they are null before any variable's constructor runs
// whatever the order of static construction across translation units.
cfg_var_reader* reader_list = nullptr;
cfg_var_writer* writer_list = nullptr;

cfg_var_reader::cfg_var_reader(const ::guid& id) : guid(id), next_reader(reader_list) { reader_list = this; }

cfg_var_writer::cfg_var_writer(const ::guid& id) : guid(id), next_writer(writer_list) { writer_list = this; }

cfg_var::cfg_var(const ::guid& id) : cfg_var_reader(id), cfg_var_writer(id) {}

void cfg_int_t<bool>::read_payload(settings_reader& reader, std::uint32_t /*size*/, abort_handle& abort) {
  // Any longer payload is skipped by the caller; an empty one throws here and
  // leaves the flag as it was.
  std::uint8_t byte;
  reader.read_exact(&byte, 1, abort);
  read_ = byte;
  has_read_ = true;
}

void cfg_int_t<bool>::commit_read() noexcept {
  if (has_read_) value = read_;
  has_read_ = false;
}

void cfg_int_t<bool>::write_payload(settings_writer& writer, abort_handle& abort) {
  writer.write_bytes(&value, 1, abort);
}

cfg_string::cfg_string(const ::guid& id, const char* default_text)
    : cfg_var(id), pfc::string8_t<pfc::alloc_standard>(default_text) {}

void cfg_string::read_payload(settings_reader& reader, std::uint32_t size, abort_handle& abort) {
  // A size field this large is damage, not a pattern; the caller skips the
  // record (or finds that the data ends first) without asking for memory.
  if (size > payload_limit) throw corvane_io::exception_io_data_truncation();
  constexpr std::uint32_t chunk_size = 256;
  pfc::string8_fast gathered;
  // Room is made ahead only as far as the data has shown itself: 64 KiB at
  // first, then twice what has arrived whenever that is full, and never past
  // the declared size. So no block is more than about twice the data that
  // arrived (or the first 64 KiB), whatever the size field promises; and a
  // whole payload holds at most about twice its size, even while its block
  // moves and the old and the new are held at once, since the last step
  // stops at the declared size. A larger step copies less of a long payload
  // but breaks the first bound.
  constexpr std::uint32_t first_room = 64u << 10;
  std::uint32_t room = size < first_room ? size : first_room;
  gathered.reserve(room + chunk_size);
  std::uint64_t total = 0;
  std::uint32_t n;
  do {
    if (gathered.text_length() >= room && room < size) {
      room = size / 2 < room ? size : room * 2;
      gathered.reserve(room + chunk_size);
    }
    // Each chunk is read straight into the gathering text and contributes
    // its bytes up to its first zero.
    n = gathered.append_filled(chunk_size, [&](char* into) { return reader.read_some(into, chunk_size, abort); });
    total += n;
  } while (n == chunk_size);
  // A payload the data ended inside is not a value: keep the old text, and
  // let the caller's skip of the missing bytes report the damage.
  if (total != size) return;
  read_.take_text(gathered);
  has_read_ = true;
}

void cfg_string::commit_read() noexcept {
  if (!has_read_) return;
  has_read_ = false;
  // read_ leaves empty; the old text goes with `old` at the end of the scope.
  pfc::string8_t<pfc::alloc_standard> old;
  old.swap(read_);
  swap(old);
}

void cfg_string::discard_read() noexcept {
  has_read_ = false;
  pfc::string8_t<pfc::alloc_standard> dropped;
  dropped.swap(read_);
}

void cfg_string::write_payload(settings_writer& writer, abort_handle& abort) {
  writer.write_bytes(text_ptr(), text_length(), abort);
}
