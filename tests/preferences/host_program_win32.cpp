#include "host_program_win32.h"

#include <stdexcept>

namespace {

class handle_owner {
public:
  explicit handle_owner(HANDLE handle) : handle_(handle) {}
  ~handle_owner() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  handle_owner(const handle_owner&) = delete;
  handle_owner& operator=(const handle_owner&) = delete;
  HANDLE get() const { return handle_; }

private:
  HANDLE handle_;
};

HANDLE inheritable_output(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create an output file");
  return file;
}

std::wstring program_folder() {
  wchar_t self[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

} // namespace

std::wstring unique_temporary_path(const wchar_t* stem) {
  static unsigned counter = 0;
  wchar_t folder[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, folder);
  return std::wstring(folder) + stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter) + L".tmp";
}

std::string whole_file(const std::wstring& path) {
  handle_owner file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read != 0)
    bytes.append(chunk, read);
  return bytes;
}

host_program_result run_host_program(const std::wstring& program, const std::wstring& arguments, DWORD timeout_ms) {
  const std::wstring out_path = unique_temporary_path(L"host-out"), err_path = unique_temporary_path(L"host-err");
  host_program_result result{};
  {
    handle_owner out(inheritable_output(out_path)), err(inheritable_output(err_path));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    const std::wstring path = program_folder() + program;
    std::wstring command = L"\"" + path + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
      throw std::runtime_error("cannot start the program");
    handle_owner process_handle(process.hProcess), thread_handle(process.hThread);
    if (WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, &result.exit_code);
  }
  result.out = whole_file(out_path);
  result.err = whole_file(err_path);
  DeleteFileW(out_path.c_str());
  DeleteFileW(err_path.c_str());
  return result;
}
