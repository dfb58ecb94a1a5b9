#include "bench_component_win32.h"

#include "test_programs_win32.h"

#include <algorithm>
#include <stdexcept>

bench_component::host_side::host_side(console_service& console) {
  registry.add(console_class_guid, &console);
  compiler = make_ledger_service<titleformat_compiler_standin>();
  registry.add(titleformat_compiler_class_guid, compiler.get());
}

bench_component::bench_component(console_service& console)
    : host_(console), component_(program_folder() + L"cor_chirpline.dll", host_.registry) {
  component_.set_services_ready(true);
  services_ = component_.services(play_callback_static_class_guid);
  if (services_.size() != 1)
    throw std::runtime_error("the component registers " + std::to_string(services_.size()) + " playback callbacks");
  callback_ = static_cast<play_callback_static*>(services_[0].get());
}

host_ref<ledger_service_t<track_standin>> handed_over_track(const std::string& title, const char* location) {
  track_fields fields;
  fields.add("title", title);
  fields.add("album", "J\xC3\xB3ga and friends");
  auto track = make_ledger_service<track_standin>(std::move(fields), location);
  track->add_ref();
  return track;
}

namespace {
template <typename Char>
bool parse_digits(const Char* text, unsigned long low, unsigned long high, unsigned long& out) {
  unsigned long long n = 0;
  const Char* p = text;
  for (; *p >= '0' && *p <= '9'; ++p) {
    n = n * 10 + static_cast<unsigned>(*p - '0');
    if (n > high) return false;
  }
  if (p == text || *p != 0 || n < low) return false;
  out = static_cast<unsigned long>(n);
  return true;
}
} // namespace

bool parse_count(const char* text, unsigned long low, unsigned long high, unsigned long& out) {
  return parse_digits(text, low, high, out);
}

bool parse_count(const wchar_t* text, unsigned long low, unsigned long high, unsigned long& out) {
  return parse_digits(text, low, high, out);
}

summary summarise(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double q) {
    return samples[std::min(samples.size() - 1, static_cast<std::size_t>(q * static_cast<double>(samples.size())))];
  };
  return {at(0.5), at(0.99)};
}
