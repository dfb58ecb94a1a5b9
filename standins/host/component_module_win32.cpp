#include "component_module_win32.h"
#include "host/identity.h"
#include "host/playback.h"
#include "host/preferences.h"
#include "text_win32.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct file_closer {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

std::string read_file(const std::wstring& path) {
  std::unique_ptr<std::FILE, file_closer> file(_wfopen(path.c_str(), L"rb"));
  if (!file) return {};
  std::string bytes;
  char chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;)
    bytes.append(chunk, n);
  return bytes;
}

// Reads a T at offset, or fails when the file is too short for it.
template <typename T> bool read_at(const std::string& bytes, std::uint64_t offset, T& out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, bytes.data() + offset, sizeof(T));
  return true;
}

// File offset of an image address, through the section that holds it.
bool file_offset(const std::string& bytes, std::uint64_t sections, WORD count, DWORD rva, std::uint64_t& out) {
  for (WORD i = 0; i < count; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!read_at(bytes, sections + i * sizeof section, section)) return false;
    const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
    if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size) {
      out = static_cast<std::uint64_t>(section.PointerToRawData) + (rva - section.VirtualAddress);
      return true;
    }
  }
  return false;
}

// The file header of a PE image and the offset just after it, where the
// optional header starts.
bool pe_file_header(const std::string& bytes, IMAGE_FILE_HEADER& header, std::uint64_t& optional) {
  IMAGE_DOS_HEADER dos;
  if (!read_at(bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return false;
  const std::uint64_t nt = static_cast<std::uint32_t>(dos.e_lfanew);
  DWORD signature = 0;
  if (!read_at(bytes, nt, signature) || signature != IMAGE_NT_SIGNATURE || !read_at(bytes, nt + 4, header))
    return false;
  optional = nt + 4 + sizeof header;
  return true;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::wstring folder_of(const std::wstring& path) {
  const auto cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

bool is_file(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring system_folder(UINT (*get)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH];
  const UINT n = get(buffer, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(buffer, n) + L"\\";
}

UINT windows_folder(LPWSTR buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); }
UINT system32_folder(LPWSTR buffer, UINT size) { return GetSystemDirectoryW(buffer, size); }

struct search {
  std::wstring component_folder;
  const std::function<bool(const std::string&)>& is_loaded;
  std::vector<std::string> visited;

  // Walks module's imports; the component's own folder is where private
  // dependencies live, so only those are opened in turn.
  missing_dll walk(const std::wstring& module, int depth) {
    const std::string module_name = to_utf8(module.substr(folder_of(module).size()));
    for (const std::string& name : dll_imports(module)) {
      const std::string key = lower(name);
      if (std::find(visited.begin(), visited.end(), key) != visited.end()) continue;
      visited.push_back(key);
      if (key.rfind("api-ms-", 0) == 0 || key.rfind("ext-ms-", 0) == 0 || is_loaded(name)) continue;
      const std::wstring wide = to_utf16(name);
      const std::wstring beside = component_folder + wide;
      if (is_file(beside)) {
        if (depth < 8) {
          missing_dll deeper = walk(beside, depth + 1);
          if (!deeper.name.empty()) return deeper;
        }
        continue;
      }
      if (is_file(system_folder(&system32_folder) + wide) || is_file(system_folder(&windows_folder) + wide)) continue;
      return {name, module_name};
    }
    return {};
  }
};

std::wstring full_path_of(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, buffer, nullptr);
  if (n == 0 || n >= MAX_PATH * 4) return path;
  return std::wstring(buffer, n);
}

std::wstring file_name_of(const std::wstring& path) {
  auto cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// Why the last load of path failed, in words: the name of a missing DLL where
// the system only says that some module was not found, and which kind of
// player a DLL of the other architecture belongs in.
std::string load_failure(const std::wstring& path) {
  const DWORD code = GetLastError();
  if (code == ERROR_BAD_EXE_FORMAT) {
    const int bits = image_bits(path), mine = static_cast<int>(sizeof(void*) * 8);
    if (bits != 0 && bits != mine)
      return "it is a " + std::to_string(bits) + "-bit DLL and this player is " + std::to_string(mine) +
             "-bit: install the " + std::to_string(mine) + "-bit component (error 193)";
  }
  if (code == ERROR_MOD_NOT_FOUND && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    const missing_dll missing = find_missing_dll(
        path, [](const std::string& name) { return GetModuleHandleW(to_utf16(name).c_str()) != nullptr; });
    if (!missing.name.empty())
      return missing.name + " is missing (needed by " + missing.needed_by +
             "; looked beside the component and in the system folders)";
  }
  return system_error_text(code);
}

} // namespace

loaded_component::loaded_component(const std::wstring& dll_path, host_registry& registry) {
  const std::wstring full = full_path_of(dll_path);
  path_utf8_ = to_utf8(full);
  // As the player does: a component is named by its full path, and what it
  // imports is looked for beside it first (then in the system folders). The
  // standard search would look beside the player instead, where a component's
  // private DLLs (its compiler's runtime) do not live.
  HMODULE module = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) throw component_load_error("cannot load " + path_utf8_ + ": " + load_failure(full));
  module_handle owned(module);
  auto entry = reinterpret_cast<corvane_get_interface_fn>(
      reinterpret_cast<void*>(GetProcAddress(module, "corvane_get_interface")));
  if (entry == nullptr)
    throw component_load_error(path_utf8_ + " is not a Corvane component (no corvane_get_interface)");
  component_client* client = entry(&registry, module);
  if (client == nullptr) throw component_load_error(path_utf8_ + " returned no client interface");
  const std::uint32_t version = client->client_version();
  if (version != component_client_version)
    throw component_load_error(path_utf8_ + " speaks client version " + std::to_string(version) + ", this host " +
                               std::to_string(component_client_version));
  client->set_module_path(path_utf8_.c_str(), to_utf8(file_name_of(full)).c_str());
  module_ = std::move(owned);
  client_ = client;
}

loaded_component::~loaded_component() {
  if (client_ && ready_) client_->set_services_ready(false);
}

void loaded_component::set_services_ready(bool ready) {
  client_->set_services_ready(ready);
  ready_ = ready;
}

std::vector<service_factory_base*> loaded_component::factories() const {
  std::vector<service_factory_base*> chain;
  for (service_factory_base* f = client_->first_factory(); f != nullptr; f = f->next)
    chain.push_back(f);
  return chain;
}

std::vector<host_ref<service_base>> loaded_component::services(const guid& class_guid) const {
  std::vector<host_ref<service_base>> found;
  for (service_factory_base* f : factories()) {
    if (f->class_guid == nullptr || *f->class_guid != class_guid) continue;
    host_ref<service_base> service;
    f->create(service.receive());
    if (service) found.push_back(std::move(service));
  }
  return found;
}

std::string describe_class(const guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  std::string out = text;
  if (g == play_callback_static_class_guid)
    out += " play_callback_static";
  else if (g == preferences_page_class_guid)
    out += " preferences_page";
  else if (g == componentversion_class_guid)
    out += " componentversion";
  else if (g == component_installation_validator_class_guid)
    out += " component_installation_validator";
  return out;
}

int image_bits(const std::wstring& path) {
  IMAGE_FILE_HEADER header;
  std::uint64_t optional = 0;
  if (!pe_file_header(read_file(path), header, optional)) return 0;
  switch (header.Machine) {
  case IMAGE_FILE_MACHINE_I386:
    return 32;
  case IMAGE_FILE_MACHINE_AMD64:
    return 64;
  default:
    return 0;
  }
}

std::vector<std::string> dll_imports(const std::wstring& path) {
  const std::string bytes = read_file(path);
  IMAGE_FILE_HEADER header;
  std::uint64_t optional = 0;
  WORD magic = 0;
  if (!pe_file_header(bytes, header, optional) || !read_at(bytes, optional, magic)) return {};
  // The import directory's place in the optional header differs between
  // 32- and 64-bit images; reading both lets the player explain either.
  std::uint64_t directories = 0;
  DWORD directory_count = 0;
  if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    directories = optional + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    if (!read_at(bytes, optional + offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes), directory_count)) return {};
  } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    directories = optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
    if (!read_at(bytes, optional + offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes), directory_count)) return {};
  } else {
    return {};
  }
  IMAGE_DATA_DIRECTORY imports;
  if (directory_count <= IMAGE_DIRECTORY_ENTRY_IMPORT ||
      !read_at(bytes, directories + IMAGE_DIRECTORY_ENTRY_IMPORT * sizeof imports, imports) ||
      imports.VirtualAddress == 0)
    return {};
  const std::uint64_t sections = optional + header.SizeOfOptionalHeader;
  std::uint64_t at = 0;
  if (!file_offset(bytes, sections, header.NumberOfSections, imports.VirtualAddress, at)) return {};

  std::vector<std::string> names;
  for (IMAGE_IMPORT_DESCRIPTOR entry; read_at(bytes, at, entry) && entry.Name != 0; at += sizeof entry) {
    std::uint64_t name_at = 0;
    if (!file_offset(bytes, sections, header.NumberOfSections, entry.Name, name_at) || name_at >= bytes.size()) break;
    const char* name = bytes.data() + name_at;
    names.emplace_back(name, strnlen(name, static_cast<std::size_t>(bytes.size() - name_at)));
    if (names.size() > 4096) break; // a damaged table; enough to explain a failure
  }
  return names;
}

missing_dll find_missing_dll(const std::wstring& component_path,
                             const std::function<bool(const std::string&)>& is_loaded) {
  search s{folder_of(component_path), is_loaded, {}};
  return s.walk(component_path, 0);
}
