// Host-style settings streams over memory, for tests, fuzzing and benchmarks:
// they keep the host's contracts (fewer bytes only at the end; read_exact and
// skip_exact throw on short data) and record what the component asked for.
#pragma once
#include "host/settings_stream.h"
#include "support/pfc/exceptions.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

// What a host of our own throws when its data runs out: deliberately not a
// corvane_io::exception_io_data, so a test sees whether it reached the caller.
class host_stream_truncated : public std::runtime_error {
public:
  host_stream_truncated() : std::runtime_error("host stream ended early") {}
};

class memory_reader final : public settings_reader {
public:
  // host_truncation: throw host_stream_truncated on short data; otherwise throw
  // corvane_io::exception_io_data_truncation as the player's own streams do.
  explicit memory_reader(std::vector<std::uint8_t> data, bool host_truncation = true)
      : copy_(std::move(data)), data_(copy_.data()), size_(copy_.size()), host_truncation_(host_truncation) {}
  memory_reader(const std::uint8_t* data, std::size_t size, bool host_truncation = true)
      : memory_reader(std::vector<std::uint8_t>(data, data + size), host_truncation) {}
  // Reads data where it lies (it must outlive the reader) and records no
  // request: the bare host stream a benchmark measures against.
  static memory_reader in_place(const std::vector<std::uint8_t>& data) { return memory_reader(data.data(), data); }
  memory_reader(const memory_reader&) = delete;
  memory_reader& operator=(const memory_reader&) = delete;

  std::uint32_t read_some(void* buffer, std::uint32_t count, abort_handle&) override {
    if (recording_) read_requests.push_back(count);
    const std::size_t left = size_ - position_;
    const std::uint32_t n = count < left ? count : static_cast<std::uint32_t>(left);
    if (n != 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
  }
  void read_exact(void* buffer, std::uint32_t count, abort_handle& abort) override {
    ++read_exact_calls;
    if (read_some(buffer, count, abort) != count) truncated();
  }
  std::uint64_t skip_some(std::uint64_t count, abort_handle&) override {
    const std::uint64_t left = size_ - position_;
    const std::uint64_t n = count < left ? count : left;
    position_ += static_cast<std::size_t>(n);
    return n;
  }
  void skip_exact(std::uint64_t count, abort_handle& abort) override {
    ++skip_exact_calls;
    if (skip_some(count, abort) != count) truncated();
  }

  std::size_t position() const noexcept { return position_; }

  // Every count passed to read_some, read_exact's included.
  std::vector<std::uint32_t> read_requests;
  int read_exact_calls = 0;
  int skip_exact_calls = 0;

private:
  memory_reader(const std::uint8_t* data, const std::vector<std::uint8_t>& where)
      : data_(data), size_(where.size()), host_truncation_(true), recording_(false) {}
  [[noreturn]] void truncated() const {
    if (host_truncation_) throw host_stream_truncated();
    throw corvane_io::exception_io_data_truncation();
  }
  std::vector<std::uint8_t> copy_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool host_truncation_;
  bool recording_ = true;
};

// A host stream that breaks once `intact` bytes have been read: every read or
// skip from there on throws std::runtime_error("disk gone"), a host failure
// that is no data error.
class breaking_reader final : public settings_reader {
public:
  explicit breaking_reader(std::vector<std::uint8_t> data = {}, std::size_t intact = 0)
      : inner_(std::move(data)), intact_(intact) {}
  std::uint32_t read_some(void* buffer, std::uint32_t count, abort_handle& abort) override {
    check();
    return inner_.read_some(buffer, count, abort);
  }
  void read_exact(void* buffer, std::uint32_t count, abort_handle& abort) override {
    check();
    inner_.read_exact(buffer, count, abort);
  }
  std::uint64_t skip_some(std::uint64_t count, abort_handle& abort) override {
    check();
    return inner_.skip_some(count, abort);
  }
  void skip_exact(std::uint64_t count, abort_handle& abort) override {
    check();
    inner_.skip_exact(count, abort);
  }

private:
  void check() const {
    if (inner_.position() >= intact_) throw std::runtime_error("disk gone");
  }
  memory_reader inner_;
  std::size_t intact_;
};

class memory_writer final : public settings_writer {
public:
  memory_writer() = default;
  // Counts the bytes and keeps neither them nor the sizes: the bare host
  // stream a benchmark measures against.
  static memory_writer counting_only() {
    memory_writer writer;
    writer.keeping_ = false;
    return writer;
  }
  void write_bytes(const void* data, std::uint32_t count, abort_handle&) override {
    written_ += count;
    if (!keeping_) return;
    write_sizes.push_back(count);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + count);
  }
  const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }
  // Every byte written, kept or not.
  std::uint64_t written() const noexcept { return written_; }
  std::vector<std::uint32_t> write_sizes;

private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t written_ = 0;
  bool keeping_ = true;
};

// Says "abort" from its abort_after-th question on (0: from the first; -1: never).
class counting_abort final : public abort_handle {
public:
  explicit counting_abort(int abort_after = -1) : abort_after_(abort_after) {}
  bool abort_requested() override { return abort_after_ >= 0 && questions++ >= abort_after_; }
  int questions = 0;

private:
  int abort_after_;
};

// Record building for tests: identifier bytes, little-endian size, payload.
inline constexpr std::uint8_t enabled_id[16] = {0x67, 0xEB, 0x99, 0xD1, 0x98, 0xEF, 0xC6, 0x4F,
                                                0x97, 0x0C, 0x2E, 0x6C, 0x38, 0x32, 0x94, 0x05};
inline constexpr std::uint8_t pattern_id[16] = {0x5E, 0x21, 0xF3, 0x17, 0xF5, 0x77, 0x97, 0x4E,
                                                0x8E, 0xD2, 0xED, 0x8E, 0x28, 0xBB, 0x05, 0x24};

inline void append_record_head(std::vector<std::uint8_t>& out, const std::uint8_t (&id)[16], std::uint32_t size) {
  out.insert(out.end(), id, id + 16);
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
}

inline void append_record(std::vector<std::uint8_t>& out, const std::uint8_t (&id)[16],
                          const std::vector<std::uint8_t>& payload) {
  append_record_head(out, id, static_cast<std::uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
}

// The pattern a payload loads as, by the format's rule: each 256-byte chunk
// contributes its bytes up to its first zero.
inline std::string pattern_from_payload(const std::uint8_t* payload, std::size_t size) {
  std::string text;
  for (std::size_t chunk = 0; chunk < size; chunk += 256) {
    const std::size_t end = chunk + 256 < size ? chunk + 256 : size;
    std::size_t i = chunk;
    while (i < end && payload[i] != 0)
      ++i;
    text.append(reinterpret_cast<const char*>(payload) + chunk, i - chunk);
  }
  return text;
}

inline std::vector<std::uint8_t> bytes_of(const char* text) {
  return std::vector<std::uint8_t>(text, text + std::strlen(text));
}
