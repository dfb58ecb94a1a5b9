// Configuration variables: static objects holding a live value under a fixed
// identifier, able to write that value to and read it back from the settings
// stream. Each registers itself at construction on two module-wide lists.
#pragma once
#include "host/guid.h"
#include "host/settings_stream.h"
#include "support/pfc/string8.h"

#include <cstdint>

// The reading side of a variable. reader is limited to the record's payload;
// size is the record's declared size.
class cfg_var_reader {
public:
  virtual void read_payload(settings_reader& reader, std::uint32_t size, abort_handle& abort) = 0;

  ::guid guid;
  cfg_var_reader* next_reader;

protected:
  explicit cfg_var_reader(const ::guid& id);
  cfg_var_reader(const cfg_var_reader&) = delete;
  cfg_var_reader& operator=(const cfg_var_reader&) = delete;
  ~cfg_var_reader() = default;
};

// The writing side: appends the variable's payload to writer.
class cfg_var_writer {
public:
  virtual void write_payload(settings_writer& writer, abort_handle& abort) = 0;

  ::guid guid;
  cfg_var_writer* next_writer;

protected:
  explicit cfg_var_writer(const ::guid& id);
  cfg_var_writer(const cfg_var_writer&) = delete;
  cfg_var_writer& operator=(const cfg_var_writer&) = delete;
  ~cfg_var_writer() = default;
};

// Heads of the two lists, most recently constructed variable first. Null until
// the first variable is built; nothing ever unlinks a variable.
extern cfg_var_reader* reader_list;
extern cfg_var_writer* writer_list;

class cfg_var : public cfg_var_reader, public cfg_var_writer {
protected:
  explicit cfg_var(const ::guid& id);
  ~cfg_var() = default;
};

template <typename T> class cfg_int_t;

// A flag stored as one byte: 0 is false, anything else true. The byte is kept
// exactly as loaded (a stored 02 is written back as 02).
template <> class cfg_int_t<bool> final : public cfg_var {
public:
  cfg_int_t(const ::guid& id, bool default_value) : cfg_var(id), value(default_value ? 1 : 0) {}
  void read_payload(settings_reader& reader, std::uint32_t size, abort_handle& abort) override;
  void write_payload(settings_writer& writer, abort_handle& abort) override;

  std::uint8_t value;
};

// A text variable: the variable is its own string, so every string operation
// (text_ptr, assign_text, ...) applies to it directly.
class cfg_string final : public cfg_var, public pfc::string8_t<pfc::alloc_standard> {
public:
  cfg_string(const ::guid& id, const char* default_text);
  void read_payload(settings_reader& reader, std::uint32_t size, abort_handle& abort) override;
  void write_payload(settings_writer& writer, abort_handle& abort) override;
};

// The component's two settings (constructed in this order).
// {17F3215E-77F5-4E97-8ED2-ED8E28BB0524}, default "%title% - %album%".
extern cfg_string cfg_title_pattern;
// {D199EB67-EF98-4FC6-970C-2E6C38329405}, default true.
extern cfg_int_t<bool> cfg_enabled;

inline constexpr const char cfg_title_pattern_default[] = "%title% - %album%";
