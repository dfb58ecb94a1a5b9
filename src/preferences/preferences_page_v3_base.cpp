#include "preferences/preferences_page_v3_base.h"
#include "preferences/guid_text.h"
#include "runtime/service.h"
#include "support/pfc/exceptions.h"

#include <cstring>

bool preferences_page_v3_base::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid == preferences_page_v3_class_guid || class_guid == preferences_page_v2_class_guid ||
      class_guid == preferences_page_class_guid)
    return service_hand_out(this, out_ref);
  return false;
}

window_handle_t preferences_page_v3_base::create_page_window(window_handle_t) {
  throw pfc::exception_not_implemented();
}

bool preferences_page_v3_base::help_url(pfc::string_base& out_text) {
  const char* name = display_name();
  const guid id = page_guid();
  out_text.cut_to_length(0);
  char id_text[guid_text_size];
  guid_to_text(id, id_text);
  const char* version;
  {
    // The host keeps the text alive after the reference is gone; hold the
    // service no longer than the lookup.
    const service_ptr_t<host_version_info> info = get_single_service<host_version_info>(host_version_info_class_guid);
    version = info->version_text();
  }
  const auto append = [&out_text](const char* piece) {
    out_text.append_text(piece, static_cast<std::uint32_t>(std::strlen(piece)));
  };
  append(preferences_help_base_address);
  append(version != nullptr ? version : "");
  append("/");
  append("preferences");
  append("/");
  append(id_text);
  append("/");
  append(name);
  return true;
}
