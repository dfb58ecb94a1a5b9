#include "standin_output_win32.h"

#include <cstdio>

namespace {

void write_line(std::FILE* f, const std::string& line) {
  if (!f) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fputc('\n', f);
  std::fflush(f);
}

bool open_for_append(const std::wstring& path, std::FILE*& file) {
  if (path.empty()) return true;
  std::FILE* opened = _wfopen(path.c_str(), L"ab");
  if (opened) {
    file = opened;
    return true;
  }
  std::fprintf(stderr, "mirc-standin: cannot open %ls for writing\n", path.c_str());
  return false;
}

} // namespace

standin_output::~standin_output() {
  if (out_ != stdout) std::fclose(out_);
  if (trace_) std::fclose(trace_);
  if (log_) std::fclose(log_);
}

bool standin_output::open(const standin_options& options) {
  return open_for_append(options.out_path, out_) && open_for_append(options.trace_path, trace_) &&
         open_for_append(options.log_path, log_);
}

void standin_output::record(const std::string& command) { write_line(out_, command); }

void standin_output::refuse(const std::string& reason) {
  const std::string line = "mirc-standin: refused " + reason;
  std::lock_guard<std::mutex> lock(mutex_);
  write_line(out_, line);
  if (out_ != stdout) write_line(stderr, line);
}

void standin_output::report(const std::string& text) {
  const std::string line = "mirc-standin: " + text;
  std::lock_guard<std::mutex> lock(mutex_);
  write_line(log_, line);
  // Each line sent is for the log (the tests read its pace); a person watching needs only the events.
  if (text.compare(0, 5, "sent ") != 0) write_line(stderr, line);
}

void standin_output::trace(unsigned long method, long index, const std::string& outcome) {
  write_line(trace_, "1224 method=" + std::to_string(method) + " block=" + std::to_string(index) + " " + outcome);
}
