#include "settings_file_win32.h"
#include "handle_owner_win32.h"
#include "text_win32.h"

#include <cstdio>
#include <exception>

namespace {

// The player's own failure for a file that ends before a record does, with the
// player's wording; not a settings_file_error, since the bytes are at fault,
// not the host's reading of them.
class settings_data_truncated : public std::exception {
public:
  const char* what() const noexcept override { return "Unsupported format or corrupted file"; }
};

std::string describe_last_error(const char* what, const std::wstring& path) {
  const DWORD code = GetLastError();
  return std::string(what) + " " + to_utf8(path) + ": " + system_error_text(code);
}

// Deletes the temporary file unless the save went through.
class temporary_file {
public:
  explicit temporary_file(std::wstring path) : path_(std::move(path)) {}
  temporary_file(const temporary_file&) = delete;
  temporary_file& operator=(const temporary_file&) = delete;
  ~temporary_file() {
    if (!committed_) DeleteFileW(path_.c_str());
  }
  const std::wstring& path() const noexcept { return path_; }
  void commit() noexcept { committed_ = true; }

private:
  std::wstring path_;
  bool committed_ = false;
};

// FILE.corrupt, or FILE.corrupt-2, -3, ... when earlier ones are still there.
bool set_aside(const std::wstring& path, std::wstring& aside) {
  for (int n = 1; n <= 99; ++n) {
    aside = path + L".corrupt" + (n == 1 ? std::wstring() : L"-" + std::to_wstring(n));
    if (MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

bool process_alive(DWORD id) {
  const owned_handle process(OpenProcess(SYNCHRONIZE, FALSE, id));
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED; // someone's, and there
  return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// A run killed while saving leaves its FILE.saving-<process id> behind. Those
// whose process is gone are removed; a live process's save, any other name and
// FILE itself are never touched.
void remove_stale_temporaries(const std::wstring& path) {
  const std::size_t folder_end = path.find_last_of(L"\\/") + 1;
  const std::wstring folder = path.substr(0, folder_end);
  const std::wstring stem = path.substr(folder_end) + L".saving-";
  WIN32_FIND_DATAW found;
  const HANDLE first = FindFirstFileW((path + L".saving-*").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return;
  // The names below allocate: the search is closed however the walk ends.
  const owned_search walk(first);
  do {
    const std::wstring name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.size() <= stem.size() ||
        name.size() > stem.size() + 10 || _wcsnicmp(name.c_str(), stem.c_str(), stem.size()) != 0)
      continue;
    unsigned long long id = 0;
    bool digits = true;
    for (std::size_t i = stem.size(); i < name.size() && digits; ++i) {
      digits = name[i] >= L'0' && name[i] <= L'9';
      id = id * 10 + static_cast<unsigned>(name[i] - L'0');
    }
    if (!digits || id > 0xFFFFFFFFull || process_alive(static_cast<DWORD>(id))) continue;
    DeleteFileW((folder + name).c_str());
  } while (FindNextFileW(walk.get(), &found));
}

} // namespace

std::uint32_t file_settings_reader::read_some(void* buffer, std::uint32_t count, abort_handle&) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint32_t total = 0;
  // ReadFile may return less than asked before the end; the contract says
  // fewer only at the end, so keep reading until it gives nothing.
  while (total < count) {
    DWORD got = 0;
    if (!ReadFile(file_, out + total, count - total, &got, nullptr))
      throw settings_file_error("cannot read the settings file: " + system_error_text(GetLastError()));
    if (got == 0) break;
    total += got;
  }
  return total;
}

void file_settings_reader::read_exact(void* buffer, std::uint32_t count, abort_handle& abort) {
  if (read_some(buffer, count, abort) != count) throw settings_data_truncated();
}

std::uint64_t file_settings_reader::skip_some(std::uint64_t count, abort_handle&) {
  LARGE_INTEGER size, zero, position;
  zero.QuadPart = 0;
  if (!GetFileSizeEx(file_, &size) || !SetFilePointerEx(file_, zero, &position, FILE_CURRENT))
    throw settings_file_error("cannot seek in the settings file: " + system_error_text(GetLastError()));
  const std::uint64_t left = position.QuadPart < size.QuadPart ? size.QuadPart - position.QuadPart : 0;
  const std::uint64_t skip = count < left ? count : left;
  LARGE_INTEGER move;
  move.QuadPart = static_cast<LONGLONG>(skip);
  if (!SetFilePointerEx(file_, move, nullptr, FILE_CURRENT))
    throw settings_file_error("cannot seek in the settings file: " + system_error_text(GetLastError()));
  return skip;
}

void file_settings_reader::skip_exact(std::uint64_t count, abort_handle& abort) {
  if (skip_some(count, abort) != count) throw settings_data_truncated();
}

void file_settings_writer::write_bytes(const void* data, std::uint32_t count, abort_handle&) {
  const auto* in = static_cast<const std::uint8_t*>(data);
  while (count != 0) {
    DWORD written = 0;
    if (!WriteFile(file_, in, count, &written, nullptr) || written == 0)
      throw settings_file_error("cannot write the settings file: " + system_error_text(GetLastError()));
    in += written;
    count -= written;
  }
}

settings_load_result load_settings_file(component_client& client, const std::wstring& path, abort_handle& abort) {
  file_handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) {
    const DWORD code = GetLastError();
    // No file yet: the component keeps its defaults and the first save creates it.
    if (code == ERROR_FILE_NOT_FOUND) return settings_load_result::loaded;
    SetLastError(code);
    std::fprintf(stderr, "corvane-host: %s; it will not be saved over\n",
                 describe_last_error("cannot open the settings file", path).c_str());
    return settings_load_result::not_readable;
  }
  file_settings_reader reader(file.get());
  try {
    client.load_settings(reader, abort);
    return settings_load_result::loaded;
  } catch (const settings_file_error& e) {
    std::fprintf(stderr, "corvane-host: %s (%s); it will not be saved over\n", e.what(), to_utf8(path).c_str());
    return settings_load_result::not_readable;
  } catch (const std::exception& e) {
    // The component's own verdict on the bytes. Keep them for whoever wants to
    // look, and let the exit save start a fresh file.
    const std::string message = e.what();
    file.close();
    std::wstring aside;
    if (!set_aside(path, aside)) {
      std::fprintf(stderr,
                   "corvane-host: the component cannot read the settings file %s: %s; %s; it will not be saved over\n",
                   to_utf8(path).c_str(), message.c_str(), describe_last_error("cannot rename", path).c_str());
      return settings_load_result::not_readable;
    }
    std::fprintf(stderr, "corvane-host: the component cannot read the settings file %s: %s; kept as %s\n",
                 to_utf8(path).c_str(), message.c_str(), to_utf8(aside).c_str());
    return settings_load_result::set_aside;
  }
}

bool save_settings_file(component_client& client, const std::wstring& path, abort_handle& abort) {
  remove_stale_temporaries(path);
  temporary_file temporary(path + L".saving-" + std::to_wstring(GetCurrentProcessId()));
  try {
    {
      file_handle file(CreateFileW(temporary.path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.valid()) throw settings_file_error(describe_last_error("cannot create", temporary.path()));
      file_settings_writer writer(file.get());
      client.save_settings(writer, abort);
      if (!FlushFileBuffers(file.get()))
        throw settings_file_error(describe_last_error("cannot flush", temporary.path()));
    }
    if (!MoveFileExW(temporary.path().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      throw settings_file_error(describe_last_error("cannot replace", path));
    temporary.commit();
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corvane-host: settings not saved to %s: %s; the previous file is unchanged\n",
                 to_utf8(path).c_str(), e.what());
    return false;
  }
}
