// What the announcement harnesses under Wine share: the real component beside
// the program, loaded by the stand-in player's own loader with a console and
// the title formatter, its one playback callback, and the clock they time it
// with.
#pragma once
#include "clock_win32.h"
#include "component_module_win32.h"
#include "host/console.h"
#include "host/playback.h"
#include "host_ledger.h"
#include "titleformat_standin.h"

#include <string>
#include <vector>

// Drops every line: a timing harness measures the announcement, not a console.
class silent_console final : public console_service {
public:
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
  bool query_class(service_base*&, const guid&) override { return false; }
  void print(const char*, std::uint32_t) override {}
};

// cor_chirpline.dll from the program's folder, started with the host's
// services ready. Throws std::exception when it cannot be loaded or does not
// register exactly one playback callback.
class bench_component {
public:
  // console must outlive the component.
  explicit bench_component(console_service& console);
  bench_component(const bench_component&) = delete;
  bench_component& operator=(const bench_component&) = delete;

  // The player's new-track notification; returns when the component does.
  void on_new_track(track_handle* track) { callback_->on_new_track(track); }

private:
  // The player's side, complete before the component starts.
  struct host_side {
    explicit host_side(console_service& console);
    host_registry registry;
    host_ref<ledger_service_t<titleformat_compiler_standin>> compiler;
  };
  host_side host_;
  loaded_component component_;
  std::vector<host_ref<service_base>> services_;
  play_callback* callback_ = nullptr;
};

// A track with this title and a fixed non-ASCII album, already holding the
// reference that on_new_track hands to the component, so that taking it stays
// outside the time measured.
host_ref<ledger_service_t<track_standin>> handed_over_track(const std::string& title, const char* location);

// A number argument of the harnesses: decimal digits only, from low to high.
// (strtoul alone takes "-5" for 4294967291 and "100x" for 100.)
bool parse_count(const char* text, unsigned long low, unsigned long high, unsigned long& out);
bool parse_count(const wchar_t* text, unsigned long low, unsigned long high, unsigned long& out);

struct summary {
  double median, p99;
};

summary summarise(std::vector<double> samples);
