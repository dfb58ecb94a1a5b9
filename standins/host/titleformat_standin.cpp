#include "titleformat_standin.h"
#include "host_ledger.h"

#include <cstring>

compiled_pattern::compiled_pattern(const char* pattern) {
  std::string literal;
  const char* p = pattern ? pattern : "";
  while (*p) {
    if (*p != '%') {
      literal += *p++;
      continue;
    }
    const char* close = std::strchr(p + 1, '%');
    if (close == nullptr) { // a lone percent sign stays text
      literal += p;
      break;
    }
    if (close == p + 1) {
      literal += '%';
    } else {
      if (!literal.empty()) segments_.push_back({false, literal});
      literal.clear();
      segments_.push_back({true, std::string(p + 1, close)});
    }
    p = close + 1;
  }
  if (!literal.empty()) segments_.push_back({false, literal});
}

bool compiled_pattern::query_class(service_base*&, const guid&) { return false; }

std::string compiled_pattern::render(const track_fields& fields) const {
  std::string out;
  for (const auto& s : segments_) {
    if (!s.is_field) {
      out += s.text;
    } else if (const std::string* value = fields.find(s.text)) {
      out += *value;
    } else {
      out += '?';
    }
  }
  return out;
}

bool titleformat_compiler_standin::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid != titleformat_compiler_class_guid) return false;
  return host_hand_out(this, out_ref);
}

bool titleformat_compiler_standin::compile_pattern(titleformat_script*& out_script, const char* pattern_text) {
  auto script = make_ledger_service<compiled_pattern>(pattern_text);
  if (titleformat_script* old = std::exchange(out_script, script.detach())) old->release();
  return true;
}

bool track_standin::query_class(service_base*&, const guid&) { return false; }

bool track_standin::render_title(void*, pfc::string_base& out_text, titleformat_script* script, void*) {
  const std::string title = script ? static_cast<compiled_pattern*>(script)->render(fields_) : std::string();
  out_text.assign_text(title.c_str(), static_cast<std::uint32_t>(title.size()));
  return true;
}
