// The handle owners hand a handle on whole and let each go exactly once,
// told from outside: whether the platform still has the object. A made-up
// handle whose closes are counted shows a second close as well.
#include "support/unique_handle_win32.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// Each kind: make(which) gives an owner of a fresh object (which is 0 or 1:
// two may live at once) and a probe; closes(probe) is how many times the
// object has been let go, as far as the platform shows (0 while it lives).

// A named section lives while a handle to it is open.
struct section_kind {
  using owner = unique_handle;
  using probe = std::wstring;
  static owner make(int which, probe& name) {
    static unsigned made = 0;
    name = L"chirpline-owner-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made) + L"-" +
           std::to_wstring(which);
    return owner(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str()));
  }
  static int closes(const probe& name) {
    const unique_handle opened(OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
    return opened ? 0 : 1;
  }
};

// A view keeps its memory mapped after its section's handle is closed.
struct view_kind {
  using owner = unique_view;
  using probe = const void*;
  static owner make(int, probe& address) {
    const unique_handle section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
    owner view(MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    address = view.get();
    return view;
  }
  static int closes(const probe& address) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) == 0) return 1;
    return region.Type == MEM_MAPPED && region.AllocationBase == address ? 0 : 1;
  }
};

// Libraries this program does not load otherwise, so the owner's is the only reference.
struct module_kind {
  using owner = unique_module;
  using probe = const wchar_t*;
  static owner make(int which, probe& name) {
    name = which == 0 ? L"lz32.dll" : L"ktmw32.dll";
    EXPECT_EQ(GetModuleHandleW(name), nullptr) << "already loaded";
    return owner(LoadLibraryW(name));
  }
  static int closes(const probe& name) { return GetModuleHandleW(name) ? 0 : 1; }
};

struct window_kind {
  using owner = unique_window;
  using probe = HWND;
  static owner make(int, probe& window) {
    window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    return owner(window);
  }
  static int closes(const probe& window) { return IsWindow(window) ? 0 : 1; }
};

int g_closes[2];
BOOL WINAPI count_close(int token) {
  ++g_closes[token];
  return TRUE;
}
struct counted_kind {
  using owner = unique_any<int, &count_close, -1>;
  using probe = int;
  static owner make(int which, probe& token) {
    token = which;
    g_closes[which] = 0;
    return owner(which);
  }
  static int closes(const probe& token) { return g_closes[token]; }
};

template <typename Kind> class HandleOwner : public testing::Test {};
using handle_owner_kinds = testing::Types<section_kind, view_kind, module_kind, window_kind, counted_kind>;
TYPED_TEST_SUITE(HandleOwner, handle_owner_kinds);

TYPED_TEST(HandleOwner, MoveHandsTheHandleOnAndMovedFromLetsNothingGo) {
  using kind = TypeParam;
  typename kind::probe made;
  {
    std::optional<typename kind::owner> first(kind::make(0, made));
    ASSERT_TRUE(*first);
    const auto handle = first->get();
    const typename kind::owner taken(std::move(*first));
    EXPECT_FALSE(*first);
    EXPECT_EQ(taken.get(), handle);
    first.reset();
    EXPECT_EQ(kind::closes(made), 0) << "the moved-from owner let the handle go";
  }
  EXPECT_EQ(kind::closes(made), 1);
}

TYPED_TEST(HandleOwner, MoveAssignmentLetsTheHeldHandleGoOnce) {
  using kind = TypeParam;
  typename kind::probe kept, replaced;
  {
    typename kind::owner source = kind::make(0, kept);
    typename kind::owner target = kind::make(1, replaced);
    ASSERT_TRUE(source);
    ASSERT_TRUE(target);
    target = std::move(source);
    EXPECT_EQ(kind::closes(replaced), 1) << "the handle the assignment replaced";
    EXPECT_FALSE(source);
    typename kind::owner& same = target;
    target = std::move(same);
    EXPECT_TRUE(target);
    EXPECT_EQ(kind::closes(kept), 0);
  }
  EXPECT_EQ(kind::closes(kept), 1);
  EXPECT_EQ(kind::closes(replaced), 1);
}

} // namespace
