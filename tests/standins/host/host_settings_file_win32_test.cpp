// The stand-in host as a real program: corvane-host.exe keeps the component's
// settings in a file across runs, never loses a good file, and sets aside one
// the component cannot read.
#include "test_programs_win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <windows.h>

namespace {

using bytes = std::vector<std::uint8_t>;

const bytes enabled_id = {0x67, 0xEB, 0x99, 0xD1, 0x98, 0xEF, 0xC6, 0x4F,
                          0x97, 0x0C, 0x2E, 0x6C, 0x38, 0x32, 0x94, 0x05};
const bytes pattern_id = {0x5E, 0x21, 0xF3, 0x17, 0xF5, 0x77, 0x97, 0x4E,
                          0x8E, 0xD2, 0xED, 0x8E, 0x28, 0xBB, 0x05, 0x24};

void append_record(bytes& out, const bytes& id, const std::string& payload, std::uint32_t declared) {
  out.insert(out.end(), id.begin(), id.end());
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
  out.insert(out.end(), payload.begin(), payload.end());
}
void append_record(bytes& out, const bytes& id, const std::string& payload) {
  append_record(out, id, payload, static_cast<std::uint32_t>(payload.size()));
}

bytes settings_with(std::uint8_t enabled, const std::string& pattern) {
  bytes out;
  append_record(out, enabled_id, std::string(1, static_cast<char>(enabled)));
  append_record(out, pattern_id, pattern);
  return out;
}

class scratch_directory {
public:
  scratch_directory() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"chirpline-settings-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~scratch_directory() {
    WIN32_FIND_DATAW found;
    HANDLE walk = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (walk != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((path_ + found.cFileName).c_str());
      } while (FindNextFileW(walk, &found));
      FindClose(walk);
    }
    RemoveDirectoryW(path_.c_str());
  }
  std::wstring operator/(const std::wstring& name) const { return path_ + name; }
  std::vector<std::wstring> names() const {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW found;
    HANDLE walk = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (walk == INVALID_HANDLE_VALUE) return out;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(found.cFileName);
    } while (FindNextFileW(walk, &found));
    FindClose(walk);
    return out;
  }

private:
  std::wstring path_;
};

bytes read_file(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::wstring& path, const bytes& data) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

struct run_result {
  DWORD exit_code = 0xFFFFFFFF;
  std::string out, err;
};

// The host's standard streams are in text mode: compare lines without their CR.
std::string without_cr(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out.push_back(c);
  return out;
}

run_result run_host(const scratch_directory&, const std::wstring& arguments) {
  const program_result run = run_program(L"corvane-host.exe", arguments);
  return {run.exit_code, without_cr(run.out), without_cr(run.err)};
}

std::wstring settings_argument(const std::wstring& path) { return L"--settings \"" + path + L"\" about"; }

TEST(HostSettingsFile, IsCreatedAtTheDefaultsWhenThereIsNone) {
  scratch_directory dir;
  const auto file = dir / L"chirpline.cfg";
  const run_result run = run_host(dir, settings_argument(file));
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(read_file(file), settings_with(1, "%title% - %album%"));
  EXPECT_NE(run.out.find("name: Chirpline Spammer\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("version: 0.1\n"), std::string::npos);
  EXPECT_NE(run.out.find("installation check: passed\n"), std::string::npos);
}

TEST(HostSettingsFile, KeepsAPatternAndFlagAcrossRuns) {
  scratch_directory dir;
  const auto file = dir / L"chirpline.cfg";
  const bytes mine = settings_with(0, "%artist% \xE2\x80\x94 %title% [%date%]");
  write_file(file, mine);
  // What a run killed while saving leaves: an odd process id, which no live process has.
  write_file(dir / L"chirpline.cfg.saving-4093", settings_with(1, "half"));
  for (int round = 0; round < 2; ++round) {
    const run_result run = run_host(dir, settings_argument(file));
    EXPECT_EQ(run.exit_code, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(read_file(file), mine) << "round " << round;
  }
  EXPECT_EQ(dir.names(), std::vector<std::wstring>{L"chirpline.cfg"}); // no temporary left behind, none kept
}

TEST(HostSettingsFile, ThatTheComponentCannotReadIsReportedAndSetAside) {
  scratch_directory dir;
  const auto file = dir / L"chirpline.cfg";
  bytes damaged;
  append_record(damaged, enabled_id, std::string(1, '\0'));
  append_record(damaged, pattern_id, "abcd", 10); // the data ends inside the pattern's record
  write_file(file, damaged);

  const run_result run = run_host(dir, settings_argument(file));
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_NE(run.err.find("Unsupported format or corrupted file"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("chirpline.cfg.corrupt"), std::string::npos) << run.err;
  EXPECT_EQ(read_file(dir / L"chirpline.cfg.corrupt"), damaged);
  // The flag record before the damage was taken; the cut pattern was not.
  EXPECT_EQ(read_file(file), settings_with(0, "%title% - %album%"));

  // A second damaged file does not push the first one out.
  write_file(file, bytes(17, 0x67));
  const run_result again = run_host(dir, settings_argument(file));
  EXPECT_NE(again.err.find("chirpline.cfg.corrupt-2"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(dir / L"chirpline.cfg.corrupt"), damaged);
  EXPECT_EQ(read_file(dir / L"chirpline.cfg.corrupt-2"), bytes(17, 0x67));
}

TEST(HostSettingsFile, ThatCannotBeReplacedStaysAsItWasAndTheRunFails) {
  scratch_directory dir;
  const auto file = dir / L"chirpline.cfg";
  const bytes mine = settings_with(1, "keep me");
  write_file(file, mine);
  // Held open without delete sharing: the host can read it but not replace it.
  HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const run_result run = run_host(dir, settings_argument(file));
  CloseHandle(holder);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_NE(run.err.find("settings not saved"), std::string::npos) << run.err;
  EXPECT_EQ(read_file(file), mine);
  EXPECT_EQ(dir.names(), std::vector<std::wstring>{L"chirpline.cfg"});
}

TEST(HostSettingsFile, ThatCannotBeOpenedIsNeitherSetAsideNorSavedOver) {
  scratch_directory dir;
  const auto file = dir / L"chirpline.cfg";
  const bytes mine = settings_with(1, "locked");
  write_file(file, mine);
  HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const run_result run = run_host(dir, settings_argument(file));
  CloseHandle(holder);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_NE(run.err.find("will not be saved over"), std::string::npos) << run.err;
  EXPECT_EQ(read_file(file), mine);
  EXPECT_EQ(dir.names(), std::vector<std::wstring>{L"chirpline.cfg"});
}

} // namespace
