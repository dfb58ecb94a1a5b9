// Each form of the text work this processor has, beside the scalar reference
// form, on titles of 10 to 300 bytes (the sizes an announcement converts, and
// the settings page's pattern): UTF-8 to UTF-16 (the command into mIRC's
// block), UTF-16 to UTF-8 (the page's field), and the title's test. The
// ratios under the table say what each form buys over the reference.
#include "ratio_reporter.h"
#include "support/text/text_forms.h"
#include "support/utf8_convert.h"
#include "text_samples.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pfc::text::cpu_features;
using pfc::text::text_form;

struct named_form {
  const text_form* form;
  bool converts; // a UTF-8 to UTF-16 of its own
  bool narrows;  // a UTF-16 to UTF-8 of its own
  bool scans;    // a title test of its own
};

// The forms this processor has, each measured only for what it adds.
std::vector<named_form> forms_here() {
  const cpu_features here = pfc::text::decode_cpu_features(pfc::text::probe_cpuid());
  std::vector<named_form> forms;
  const text_form* before = nullptr;
  for (const cpu_features f : {cpu_features{}, cpu_features{true, false, false}, cpu_features{true, true, false},
                               cpu_features{true, true, true}}) {
    if ((f.sse2 && !here.sse2) || (f.ssse3 && !here.ssse3) || (f.avx2 && !here.avx2)) continue;
    const text_form& form = pfc::text::form_for(f);
    if (&form == before) continue;
    forms.push_back({&form, before == nullptr || form.utf8_to_utf16 != before->utf8_to_utf16,
                     before == nullptr || form.utf16_to_utf8 != before->utf16_to_utf8,
                     before == nullptr || form.title_may_need_care != before->title_may_need_care});
    before = &form;
  }
  return forms;
}

void utf8_to_utf16(benchmark::State& state, const text_form* form, int mix, int size) {
  const std::string text = bench::title_sample(mix, static_cast<std::size_t>(size));
  std::vector<char16_t> out(2048);
  for (auto _ : state) {
    std::size_t consumed;
    benchmark::DoNotOptimize(form->utf8_to_utf16(out.data(), text.c_str(), text.size(), consumed));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void utf16_to_utf8(benchmark::State& state, const text_form* form, int mix, int size) {
  const std::string narrow = bench::title_sample(mix, static_cast<std::size_t>(size));
  std::u16string text(narrow.size() + 1, u'\0');
  text.resize(pfc::utf8_to_utf16(&text[0], narrow.c_str()));
  std::vector<char> out(4096);
  for (auto _ : state) {
    benchmark::DoNotOptimize(form->utf16_to_utf8(out.data(), out.size(), text.c_str(), text.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
}

void title_test(benchmark::State& state, const text_form* form, int size) {
  const std::string text = bench::title_sample(1, static_cast<std::size_t>(size));
  for (auto _ : state) {
    benchmark::DoNotOptimize(form->title_may_need_care(text.data(), text.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<named_form> forms = forms_here();
  const std::string reference = forms.front().form->name;
  std::vector<bench::ratio> ratios;
  const auto add = [&](const std::string& base, const named_form& f) {
    if (f.form->name != reference)
      ratios.push_back({base + " " + f.form->name + " vs " + reference, base + "/" + f.form->name,
                        base + "/" + reference, bench::ratio::speedup, 0});
  };
  for (const int size : bench::title_sizes) {
    const std::string bytes = std::to_string(size);
    for (int mix = 0; mix < 4; ++mix) {
      for (const named_form& f : forms) {
        const std::string base = std::string("utf8_to_utf16/") + bench::mix_names[mix] + "/" + bytes;
        if (!f.converts) continue;
        benchmark::RegisterBenchmark((base + "/" + f.form->name).c_str(), utf8_to_utf16, f.form, mix, size);
        add(base, f);
      }
      for (const named_form& f : forms) {
        const std::string base = std::string("utf16_to_utf8/") + bench::mix_names[mix] + "/" + bytes;
        if (!f.narrows) continue;
        benchmark::RegisterBenchmark((base + "/" + f.form->name).c_str(), utf16_to_utf8, f.form, mix, size);
        add(base, f);
      }
    }
    for (const named_form& f : forms) {
      const std::string base = "title_test/" + bytes;
      if (!f.scans) continue;
      benchmark::RegisterBenchmark((base + "/" + f.form->name).c_str(), title_test, f.form, size);
      add(base, f);
    }
  }
  return bench::run_with_ratios(argc, argv, std::move(ratios));
}
