// UTF-8 <-> UTF-16 throughput of the component's conversions beside glibc's
// iconv and ICU on the same texts, in the same run: ASCII, European text with
// accents, and CJK text, each converted size-first (as the settings dialog
// does) and convert-only. Bytes processed count the input.
#include "ratio_reporter.h"
#include "support/utf8_convert.h"

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ustring.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t text_bytes = 64 * 1024;

std::string repeat_to_size(const std::string& piece) {
  std::string text;
  while (text.size() + piece.size() <= text_bytes)
    text += piece;
  return text;
}

const std::string& sample(int kind) {
  static const std::string ascii =
      repeat_to_size("The quick brown fox jumps over the lazy dog - %title% - %album% (2024) ");
  static const std::string european = repeat_to_size(
      "Fran\xC3\xA7ois \xC3\xA9\x63oute \xC2\xAB L\xE2\x80\x99\xC3\xA9t\xC3\xA9 \xC3\xA0 Z\xC3\xBCrich \xC2\xBB, "
      "Gr\xC3\xBC\xC3\x9F\x65 aus M\xC3\xBCnchen, \xC5\xBB\xC3\xB3\xC5\x82w na \xC5\x82\xC4\x85\x63\x65, "
      "\xC3\x85ngstr\xC3\xB6m \xE2\x80\x94 caf\xC3\xA9 ");
  static const std::string cjk = repeat_to_size(
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\xAD\x8C\xE8\xA9\x9E\xE3\x80\x81"
      "\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98\xE3\x80\x81\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 ");
  switch (kind) {
  case 0:
    return ascii;
  case 1:
    return european;
  default:
    return cjk;
  }
}

const char* const kind_names[] = {"ascii", "european", "cjk"};

std::u16string utf16_sample(int kind) {
  const std::string& text = sample(kind);
  std::u16string out(pfc::utf8_to_utf16_size(text.c_str()), u'\0');
  out.resize(pfc::utf8_to_utf16(&out[0], text.c_str()));
  return out;
}

class iconv_handle {
public:
  iconv_handle(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
  }
  ~iconv_handle() { iconv_close(handle_); }
  iconv_handle(const iconv_handle&) = delete;
  iconv_handle& operator=(const iconv_handle&) = delete;
  std::size_t convert(const char* in, std::size_t in_bytes, char* out, std::size_t out_bytes) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in);
    char* target = out;
    if (iconv(handle_, &source, &in_bytes, &target, &out_bytes) == static_cast<std::size_t>(-1))
      throw std::runtime_error("iconv");
    return static_cast<std::size_t>(target - out);
  }

private:
  iconv_t handle_;
};

// ICU's one-call conversions with the input's length given, into a buffer
// that is known to be large enough.
std::size_t icu_from_utf8(char16_t* out, std::size_t capacity, const std::string& text) {
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length = 0;
  u_strFromUTF8(reinterpret_cast<UChar*>(out), static_cast<std::int32_t>(capacity), &length, text.data(),
                static_cast<std::int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error("u_strFromUTF8");
  return static_cast<std::size_t>(length);
}

std::size_t icu_to_utf8(char* out, std::size_t capacity, const std::u16string& text) {
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length = 0;
  u_strToUTF8(out, static_cast<std::int32_t>(capacity), &length, reinterpret_cast<const UChar*>(text.data()),
              static_cast<std::int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error("u_strToUTF8");
  return static_cast<std::size_t>(length);
}

const char* const forms[] = {"sized", "convert", "iconv", "icu"};

void utf8_to_utf16(benchmark::State& state, int kind, int form) {
  const std::string& text = sample(kind);
  std::vector<char16_t> out(text.size() + 1);
  iconv_handle cd("UTF-16LE", "UTF-8");
  for (auto _ : state) {
    std::size_t n = 0;
    switch (form) {
    case 0:
      n = pfc::utf8_to_utf16_size(text.c_str());
      n += pfc::utf8_to_utf16(out.data(), text.c_str());
      break;
    case 1:
      n = pfc::utf8_to_utf16(out.data(), text.c_str());
      break;
    case 2:
      n = cd.convert(text.data(), text.size(), reinterpret_cast<char*>(out.data()), out.size() * 2);
      break;
    default:
      n = icu_from_utf8(out.data(), out.size(), text);
    }
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void utf16_to_utf8(benchmark::State& state, int kind, int form) {
  const std::u16string text = utf16_sample(kind);
  std::vector<char> out(3 * text.size() + 1);
  iconv_handle cd("UTF-8", "UTF-16LE");
  for (auto _ : state) {
    std::size_t n = 0;
    switch (form) {
    case 0:
      n = pfc::utf16_to_utf8(out.data(), pfc::utf16_to_utf8_size(text.c_str()), text.c_str());
      break;
    case 1:
      n = pfc::utf16_to_utf8(out.data(), out.size(), text.c_str());
      break;
    case 2:
      n = cd.convert(reinterpret_cast<const char*>(text.data()), text.size() * 2, out.data(), out.size());
      break;
    default:
      n = icu_to_utf8(out.data(), out.size(), text);
    }
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
}

} // namespace

int main(int argc, char** argv) {
  std::vector<bench::ratio> ratios;
  const char* const directions[] = {"utf8_to_utf16", "utf16_to_utf8"};
  for (int d = 0; d < 2; ++d) {
    for (int kind = 0; kind < 3; ++kind) {
      const std::string base = std::string(directions[d]) + "/" + kind_names[kind] + "/";
      for (int form = 0; form < 4; ++form)
        benchmark::RegisterBenchmark((base + forms[form]).c_str(), d == 0 ? utf8_to_utf16 : utf16_to_utf8, kind, form);
      for (int form = 0; form < 2; ++form) {
        ratios.push_back(
            {base + forms[form] + " vs iconv", base + forms[form], base + "iconv", bench::ratio::speedup, 2});
        ratios.push_back({base + forms[form] + " vs icu", base + forms[form], base + "icu", bench::ratio::speedup, 1});
      }
    }
  }
  return bench::run_with_ratios(argc, argv, std::move(ratios));
}
