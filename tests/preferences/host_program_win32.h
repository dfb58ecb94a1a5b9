// Runs the stand-in player beside the test program and keeps what it wrote.
#pragma once
#include <string>

#include <windows.h>

struct host_program_result {
  DWORD exit_code;
  std::string out; // line ends as written (the console's text mode gives CR LF)
  std::string err;
};

// A file name in the temporary folder, unique to this process and call.
std::wstring unique_temporary_path(const wchar_t* stem);
// The whole file, or empty when it cannot be read.
std::string whole_file(const std::wstring& path);
// Runs program from the test program's folder and waits for it (killed after timeout_ms).
host_program_result run_host_program(const std::wstring& program, const std::wstring& arguments,
                                     DWORD timeout_ms = 60000);
