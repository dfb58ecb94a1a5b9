#include "preferences/my_preferences_win32.h"

namespace {
service_ptr_t<page_state_listener> own_reference(page_state_listener* listener) {
  listener->add_ref();
  return service_ptr_t<page_state_listener>::adopt(listener);
}
} // namespace

CMyPreferences::CMyPreferences(page_state_listener* state_listener)
    : listener(own_reference(state_listener)), logic_(window_.controls(), *listener.get()) {}

bool CMyPreferences::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid != preferences_page_instance_class_guid) return false;
  return service_hand_out(static_cast<preferences_page_instance*>(this), out_ref);
}
