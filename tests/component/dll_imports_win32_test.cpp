// The player's reading of a component's import tables: the names it finds in
// the real DLL, and which DLL it blames when a component folder lacks one.
// And what the real DLL offers in turn: its one entry point, nothing else.
#include "binary_host_win32.h"
#include "component_module_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The GCC runtime's own DLL is named after how exceptions unwind: DWARF tables
// on i686, SEH on x86-64.
#ifdef _WIN64
constexpr const char* libgcc = "libgcc_s_seh-1.dll";
constexpr const wchar_t* libgcc_file = L"libgcc_s_seh-1.dll";
constexpr int own_bits = 64, other_bits = 32;
#else
constexpr const char* libgcc = "libgcc_s_dw2-1.dll";
constexpr const wchar_t* libgcc_file = L"libgcc_s_dw2-1.dll";
constexpr int own_bits = 32, other_bits = 64;
#endif

bool has(const std::vector<std::string>& names, const char* name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A loaded module's export directory: every exported name, and how many
// functions it exports in all (by name or by number alone).
struct export_table {
  std::vector<std::string> names;
  DWORD functions = 0;
};

export_table exports_of(HMODULE module) {
  export_table table;
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0) return table;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  table.functions = exports->NumberOfFunctions;
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    table.names.emplace_back(reinterpret_cast<const char*>(base + names[i]));
  return table;
}

std::string file_bytes(const std::wstring& path) {
  std::string bytes;
  if (std::FILE* f = _wfopen(path.c_str(), L"rb")) {
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
      bytes.append(chunk, n);
    std::fclose(f);
  }
  return bytes;
}

// A folder of its own, removed with everything in it.
class scratch_folder {
public:
  scratch_folder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"chirpline-imports-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;
  ~scratch_folder() {
    for (const std::wstring& name : made_)
      DeleteFileW((path_ + name).c_str());
    RemoveDirectoryW(path_.c_str());
  }
  std::wstring copy_in(const std::wstring& name) {
    made_.push_back(name);
    CopyFileW((program_folder() + name).c_str(), (path_ + name).c_str(), FALSE);
    return path_ + name;
  }
  std::wstring write(const std::wstring& name, const std::string& bytes) {
    made_.push_back(name);
    if (std::FILE* f = _wfopen((path_ + name).c_str(), L"wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return path_ + name;
  }

private:
  std::wstring path_;
  std::vector<std::wstring> made_;
};

TEST(DllImports, TheComponentImportsItsRuntimeAndThePlayersLibrary) {
  const std::vector<std::string> names = dll_imports(component_path());
  EXPECT_TRUE(has(names, "shared.dll"));
  EXPECT_TRUE(has(names, "libstdc++-6.dll"));
  EXPECT_TRUE(has(names, libgcc));
  EXPECT_TRUE(has(names, "KERNEL32.dll"));
  // Only the runtime's own DLLs need the threads library.
  EXPECT_FALSE(has(names, "libwinpthread-1.dll"));
  EXPECT_TRUE(has(dll_imports(program_folder() + libgcc_file), "libwinpthread-1.dll"));
}

TEST(DllExports, TheComponentExportsItsEntryPointAndNothingElse) {
  // The reader itself, on a library that exports plenty.
  const export_table system = exports_of(GetModuleHandleW(L"kernel32.dll"));
  EXPECT_TRUE(has(system.names, "GetLastError"));
  EXPECT_GT(system.functions, 100u);

  component_library component;
  ASSERT_NE(component.module(), nullptr);
  const export_table table = exports_of(component.module());
  EXPECT_EQ(table.names, std::vector<std::string>{"corvane_get_interface"});
  EXPECT_EQ(table.functions, 1u) << "exports by number alone";
}

TEST(DllImports, DamagedOrMissingFilesHaveNoImports) {
  scratch_folder folder;
  const std::string head = file_bytes(component_path()).substr(0, 512);
  ASSERT_EQ(head.substr(0, 2), "MZ");
  EXPECT_TRUE(dll_imports(folder.write(L"cut.dll", head)).empty());
  EXPECT_TRUE(dll_imports(folder.write(L"text.dll", "MZ but not a program")).empty());
  EXPECT_TRUE(dll_imports(folder.write(L"empty.dll", "")).empty());
  EXPECT_TRUE(dll_imports(L"Z:\\no\\such\\folder\\cor_chirpline.dll").empty());
}

// The machine field of the file header, which a player of the other
// architecture refuses with no more than error 193.
TEST(DllImports, TheImageTellsWhichPlayerItIsFor) {
  scratch_folder folder;
  std::string image = file_bytes(component_path());
  ASSERT_GT(image.size(), 0x40u);
  EXPECT_EQ(image_bits(component_path()), own_bits);

  std::uint32_t nt = 0;
  std::memcpy(&nt, &image[0x3C], sizeof nt);
  ASSERT_LT(nt + 6, image.size());
  const auto with_machine = [&](std::uint16_t machine) {
    std::memcpy(&image[nt + 4], &machine, sizeof machine);
    return image;
  };
  EXPECT_EQ(image_bits(folder.write(L"other.dll", with_machine(other_bits == 64 ? 0x8664 : 0x014C))), other_bits);
  EXPECT_EQ(image_bits(folder.write(L"arm64.dll", with_machine(0xAA64))), 0);
  EXPECT_EQ(image_bits(folder.write(L"cut.dll", image.substr(0, nt + 5))), 0);
  EXPECT_EQ(image_bits(L"Z:\\no\\such\\folder\\cor_chirpline.dll"), 0);
}

TEST(DllImports, TheMissingDllIsNamedWithWhatNeedsIt) {
  scratch_folder folder;
  const std::wstring component = folder.copy_in(L"cor_chirpline.dll");
  folder.copy_in(L"libstdc++-6.dll");
  folder.copy_in(libgcc_file);
  // This test program has the runtime loaded; a player has only its own library.
  const auto player_has = [](const std::string& name) { return name == "shared.dll"; };

  missing_dll missing = find_missing_dll(component, player_has);
  EXPECT_EQ(missing.name, "libwinpthread-1.dll");
  EXPECT_EQ(missing.needed_by, libgcc);

  folder.copy_in(L"libwinpthread-1.dll");
  missing = find_missing_dll(component, player_has);
  EXPECT_EQ(missing.name, "") << "needed by " << missing.needed_by;

  missing = find_missing_dll(component, [](const std::string&) { return false; });
  EXPECT_EQ(missing.name, "shared.dll");
  EXPECT_EQ(missing.needed_by, "cor_chirpline.dll");
}

} // namespace
