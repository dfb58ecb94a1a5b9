// Every form of the text work that this processor can run, the scalar
// reference first, each reached as the component reaches it: through
// form_for, given a feature set this processor has.
#pragma once
#include "support/text/cpu_features.h"
#include "support/text/text_forms.h"

#include <vector>

inline std::vector<const pfc::text::text_form*> text_forms_here() {
  using pfc::text::cpu_features;
  const cpu_features here = pfc::text::decode_cpu_features(pfc::text::probe_cpuid());
  std::vector<const pfc::text::text_form*> forms;
  for (const cpu_features f : {cpu_features{}, cpu_features{true, false, false}, cpu_features{true, true, false},
                               cpu_features{true, true, true}}) {
    if ((f.sse2 && !here.sse2) || (f.ssse3 && !here.ssse3) || (f.avx2 && !here.avx2)) continue;
    const pfc::text::text_form* form = &pfc::text::form_for(f);
    if (forms.empty() || forms.back() != form) forms.push_back(form);
  }
  return forms;
}

// Of the forms, those with a function of their own in the given slot (a form
// shares the functions its instruction set adds nothing to).
template <typename Slot>
std::vector<const pfc::text::text_form*> text_forms_with_own(const std::vector<const pfc::text::text_form*>& forms,
                                                             Slot pfc::text::text_form::*slot) {
  std::vector<const pfc::text::text_form*> own;
  for (const pfc::text::text_form* form : forms)
    if (own.empty() || own.back()->*slot != form->*slot) own.push_back(form);
  return own;
}
