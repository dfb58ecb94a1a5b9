// How a page hands out its dialog: a new reference-counted instance per call,
// built around the dialog class Dialog. Dialog supplies create(parent) (which
// raises when no window comes into being) and hwnd().
#pragma once
#include "preferences/preferences_page_v3_base.h"
#include "runtime/service.h"

template <typename Dialog> class preferences_page_instance_impl : public Dialog {
public:
  // Returns only once the window exists and its controls are filled.
  preferences_page_instance_impl(window_handle_t parent_window, page_state_listener* state_listener)
      : Dialog(state_listener) {
    Dialog::create(parent_window);
  }
  window_handle_t window_handle() override { return Dialog::hwnd(); }

protected:
  ~preferences_page_instance_impl() = default;
};

template <typename Dialog> class preferences_page_impl : public preferences_page_v3_base {
public:
  // listener arrives with one reference that is ours to drop; the instance
  // takes its own. The caller receives the instance with one reference.
  preferences_page_instance* make_instance(window_handle_t parent_window, page_state_listener* listener) override {
    const auto incoming = service_ptr_t<page_state_listener>::adopt(listener);
    preferences_page_instance* instance =
        new service_impl_t<preferences_page_instance_impl<Dialog>>(parent_window, incoming.get());
    instance->add_ref();
    return instance;
  }

protected:
  preferences_page_impl() = default;
  ~preferences_page_impl() = default;
};
