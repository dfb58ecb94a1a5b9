// The handle owners hand a handle on whole and let each go exactly once. Every
// kind of handle shares one owner template, so an owner of a made-up handle
// whose closes are counted shows what the platform cannot: a second close.
#include "support/unique_handle_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

int g_closes[3];
BOOL WINAPI count_close(int token) {
  ++g_closes[token];
  return TRUE;
}
using counted_owner = unique_any<int, &count_close, -1>;

TEST(HandleOwner, MovesHandTheHandleOnAndEachHandleIsLetGoOnce) {
  g_closes[0] = g_closes[1] = g_closes[2] = 0;
  {
    counted_owner first(0), replaced(1), moved_over(2);
    counted_owner taken(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(taken.get(), 0);
    replaced = std::move(taken);
    EXPECT_EQ(g_closes[1], 1) << "the handle the assignment replaced";
    EXPECT_FALSE(taken);
    counted_owner& same = replaced;
    replaced = std::move(same);
    EXPECT_EQ(replaced.get(), 0);
    EXPECT_EQ(g_closes[0], 0) << "a move or a self-move let the handle go";
    moved_over = counted_owner();
    EXPECT_EQ(g_closes[2], 1);
  }
  EXPECT_EQ(g_closes[0], 1);
  EXPECT_EQ(g_closes[1], 1);
  EXPECT_EQ(g_closes[2], 1);
}

// A real kind, told from outside: a named section lives while a handle to it is open.
TEST(HandleOwner, AReplacedSectionIsClosed) {
  // Both architectures' tests share one Wine server: the name is this process's.
  const std::wstring name = L"chirpline-owner-test-" + std::to_wstring(GetCurrentProcessId());
  unique_handle kept(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
  unique_handle replaced(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str()));
  ASSERT_TRUE(kept && replaced);
  replaced = std::move(kept);
  const unique_handle opened(OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
  EXPECT_FALSE(opened) << "the section the assignment replaced is still open";
}

} // namespace
