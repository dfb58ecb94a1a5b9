#include "component/component_identity.h"
#include "chirpline_version.h"
#include "runtime/module_state.h"
#include "runtime/service.h"

#include <cstring>

namespace {

template <std::size_t N> void assign_literal(pfc::string_base& out, const char (&text)[N]) {
  out.assign_text(text, static_cast<std::uint32_t>(N - 1));
}

} // namespace

bool componentversion_myimpl::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid != componentversion_class_guid) return false;
  return service_hand_out(this, out_ref);
}

void componentversion_myimpl::report_file_name(pfc::string_base& out) {
  const char* name = module_file_name();
  out.assign_text(name, static_cast<std::uint32_t>(std::strlen(name)));
}

void componentversion_myimpl::report_name(pfc::string_base& out) { assign_literal(out, "Chirpline Spammer"); }

void componentversion_myimpl::report_version(pfc::string_base& out) { assign_literal(out, CHIRPLINE_VERSION_TEXT); }

void componentversion_myimpl::report_about_text(pfc::string_base& out) {
  assign_literal(out, "Announces the track now playing to mIRC as \"/me is playing: <title>\".\n"
                      "Written by the Chirpline developers.\n"
                      "Title formatting by the Corvane player; delivery through mIRC's shared-memory interface.\n");
}

bool component_installation_validator_filename::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid != component_installation_validator_class_guid) return false;
  return service_hand_out(this, out_ref);
}

bool component_installation_validator_filename::check_installation() {
  const char* path = module_path();
  if (*path == '\0') return false;
  return std::strcmp(file_name_part(path), expected_file_name) == 0;
}

const char* file_name_part(const char* path) noexcept {
  const char* start = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '\\' || *p == '/' || *p == '|' || *p == ':') start = p + 1;
  return start;
}
