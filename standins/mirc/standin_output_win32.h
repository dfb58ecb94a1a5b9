// Where the stand-in writes: each command it ran (the output, standard output
// by default), each message 1224 (the trace), and its reports for a person
// (standard error and the log). Reports may come from the IRC session's
// thread; every write is whole and flushed.
#pragma once
#include "standin_options.h"

#include <cstdio>
#include <mutex>
#include <string>

class standin_output {
public:
  standin_output() = default;
  ~standin_output();
  standin_output(const standin_output&) = delete;
  standin_output& operator=(const standin_output&) = delete;

  // Opens the files the options name; false, said on standard error, when
  // one cannot be opened for appending.
  bool open(const standin_options& options);

  void record(const std::string& command);
  // A refusal, where the tests read (the output) and where a person looks
  // (standard error).
  void refuse(const std::string& reason);
  void report(const std::string& text);
  void trace(unsigned long method, long index, const std::string& outcome);

private:
  std::FILE* out_ = stdout;
  std::FILE* trace_ = nullptr;
  std::FILE* log_ = nullptr;
  std::mutex mutex_;
};
