// The compiled dialog template inside cor_chirpline.dll, read back the way
// the platform reads it: resource 101 of type RT_DIALOG under language 0x0C09,
// an extended template (DLGTEMPLATEEX) with two controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class template_reader {
public:
  template_reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  std::uint16_t word() { return take<std::uint16_t>(); }
  std::uint32_t dword() { return take<std::uint32_t>(); }
  std::int16_t coordinate() { return take<std::int16_t>(); }
  std::uint8_t byte() { return take<std::uint8_t>(); }
  // A zero-terminated UTF-16 text, or an ordinal written as "#<number>".
  std::wstring text_or_ordinal() {
    if (peek_word() == 0xFFFF) {
      word();
      return L"#" + std::to_wstring(word());
    }
    std::wstring text;
    while (std::uint16_t unit = word())
      text.push_back(static_cast<wchar_t>(unit));
    return text;
  }
  void align_dword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
  std::size_t offset() const { return offset_; }

private:
  std::uint16_t peek_word() const {
    std::uint16_t v = 0;
    if (offset_ + 2 <= size_) std::memcpy(&v, data_ + offset_, 2);
    return v;
  }
  template <typename T> T take() {
    T v{};
    if (offset_ + sizeof(T) > size_) throw std::out_of_range("template ends early");
    std::memcpy(&v, data_ + offset_, sizeof(T));
    offset_ += sizeof(T);
    return v;
  }
  const unsigned char* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

struct control {
  std::uint32_t help_id, ex_style, style;
  std::int16_t x, y, cx, cy;
  std::uint32_t id;
  std::wstring window_class, title;
  std::uint16_t extra;
};

control read_control(template_reader& r) {
  r.align_dword();
  control c{};
  c.help_id = r.dword();
  c.ex_style = r.dword();
  c.style = r.dword();
  c.x = r.coordinate();
  c.y = r.coordinate();
  c.cx = r.coordinate();
  c.cy = r.coordinate();
  c.id = r.dword();
  c.window_class = r.text_or_ordinal();
  c.title = r.text_or_ordinal();
  c.extra = r.word();
  return c;
}

struct library_owner {
  HMODULE module;
  ~library_owner() {
    if (module != nullptr) FreeLibrary(module);
  }
};

} // namespace

TEST(DialogTemplate, SettingsPageTemplateInTheComponent) {
  library_owner library{LoadLibraryExW(L"cor_chirpline.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE)};
  ASSERT_NE(library.module, nullptr) << GetLastError();
  HRSRC found = FindResourceExW(library.module, RT_DIALOG, MAKEINTRESOURCEW(101), 0x0C09);
  ASSERT_NE(found, nullptr) << "template 101 under LANG_ENGLISH, SUBLANG_ENGLISH_AUS";
  HGLOBAL loaded = LoadResource(library.module, found);
  ASSERT_NE(loaded, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
  const std::size_t size = SizeofResource(library.module, found);

  template_reader r(bytes, size);
  EXPECT_EQ(r.word(), 1) << "DLGTEMPLATEEX version";
  EXPECT_EQ(r.word(), 0xFFFF) << "extended template signature";
  EXPECT_EQ(r.dword(), 0u) << "help id";
  EXPECT_EQ(r.dword(), 0u) << "extended style";
  EXPECT_EQ(r.dword(), 0x40080048u) << "WS_CHILD | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS, hidden";
  EXPECT_EQ(r.word(), 2) << "controls";
  EXPECT_EQ(r.coordinate(), 0);
  EXPECT_EQ(r.coordinate(), 0);
  EXPECT_EQ(r.coordinate(), 316);
  EXPECT_EQ(r.coordinate(), 183);
  EXPECT_EQ(r.text_or_ordinal(), L"") << "no menu";
  EXPECT_EQ(r.text_or_ordinal(), L"") << "the default dialog class";
  EXPECT_EQ(r.text_or_ordinal(), L"") << "no title";
  EXPECT_EQ(r.word(), 8) << "points";
  EXPECT_EQ(r.word(), 400) << "weight";
  EXPECT_EQ(r.byte(), 0) << "italic";
  EXPECT_EQ(r.byte(), 1) << "character set";
  EXPECT_EQ(r.text_or_ordinal(), L"MS Shell Dlg");

  const control box = read_control(r);
  EXPECT_EQ(box.id, 1001u);
  EXPECT_EQ(box.window_class, L"#128") << "the predefined Button class";
  EXPECT_EQ(box.style, 0x50010003u);
  EXPECT_EQ(box.ex_style, 0u);
  EXPECT_EQ(box.help_id, 0u);
  EXPECT_EQ(box.x, 15);
  EXPECT_EQ(box.y, 9);
  EXPECT_EQ(box.cx, 222);
  EXPECT_EQ(box.cy, 15);
  EXPECT_EQ(box.title, L"Enable sending now playing info to mIRC");
  EXPECT_EQ(box.extra, 0);

  const control field = read_control(r);
  EXPECT_EQ(field.id, 1003u);
  EXPECT_EQ(field.window_class, L"#129") << "the predefined Edit class";
  EXPECT_EQ(field.style, 0x50810080u);
  EXPECT_EQ(field.ex_style, 0u);
  EXPECT_EQ(field.help_id, 0u);
  EXPECT_EQ(field.x, 15);
  EXPECT_EQ(field.y, 30);
  EXPECT_EQ(field.cx, 225);
  EXPECT_EQ(field.cy, 12);
  EXPECT_EQ(field.title, L"");
  EXPECT_EQ(field.extra, 0);
  EXPECT_LE(r.offset(), size);
  EXPECT_GE(r.offset() + 3, size) << "nothing after the second control";
}

static BOOL CALLBACK collect_language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
  return TRUE;
}

TEST(DialogTemplate, OnlyTheOneLanguage) {
  library_owner library{LoadLibraryExW(L"cor_chirpline.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE)};
  ASSERT_NE(library.module, nullptr);
  std::vector<WORD> languages;
  EnumResourceLanguagesW(library.module, RT_DIALOG, MAKEINTRESOURCEW(101), collect_language,
                         reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{0x0C09});
}
