// Configuration variables: static objects holding a live value under a fixed
// identifier, able to write that value to and read it back from the settings
// stream. Each registers itself at construction on two module-wide lists.
#pragma once
#include "host/guid.h"
#include "host/settings_stream.h"
#include "support/pfc/string8.h"

#include <cstdint>

// The reading side of a variable. A load reads every record first and puts
// the values in place only at its end, so that running out of memory part of
// the way through leaves every variable as it was.
class cfg_var_reader {
public:
  // Reads one record into a value held aside; the variable keeps its value
  // until commit_read. reader is limited to the record's payload; size is the
  // record's declared size. A record that fails leaves what was held before.
  virtual void read_payload(settings_reader& reader, std::uint32_t size, abort_handle& abort) = 0;
  // Puts the value held aside, if any, in place. Cannot fail.
  virtual void commit_read() noexcept = 0;
  // Drops the value held aside, if any.
  virtual void discard_read() noexcept = 0;

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
  void commit_read() noexcept override;
  void discard_read() noexcept override { has_read_ = false; }
  void write_payload(settings_writer& writer, abort_handle& abort) override;

  std::uint8_t value;

private:
  std::uint8_t read_ = 0;
  bool has_read_ = false;
};

// A text variable: the variable is its own string, so every string operation
// (text_ptr, assign_text, ...) applies to it directly.
class cfg_string final : public cfg_var, public pfc::string8_t<pfc::alloc_standard> {
public:
  // Longest payload a load takes: far beyond any real pattern. A longer one
  // is passed over as damaged data, whatever memory there is.
  static constexpr std::uint32_t payload_limit = 16u << 20;

  cfg_string(const ::guid& id, const char* default_text);
  void read_payload(settings_reader& reader, std::uint32_t size, abort_handle& abort) override;
  void commit_read() noexcept override;
  void discard_read() noexcept override;
  void write_payload(settings_writer& writer, abort_handle& abort) override;

private:
  // Already in its final block, so that putting it in place is a swap.
  pfc::string8_t<pfc::alloc_standard> read_;
  bool has_read_ = false;
};

// The component's two settings (constructed in this order).
// {17F3215E-77F5-4E97-8ED2-ED8E28BB0524}, default "%title% - %album%".
extern cfg_string cfg_title_pattern;
// {D199EB67-EF98-4FC6-970C-2E6C38329405}, default true.
extern cfg_int_t<bool> cfg_enabled;

inline constexpr const char cfg_title_pattern_default[] = "%title% - %album%";
