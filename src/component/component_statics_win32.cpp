// The component's factories and its abort-signal hook. Their place in the
// order of static construction is fixed in runtime/static_order.h: the factory
// chain is walked in the reverse of registration (each pushes on the front).
#include "announcer/play_callback_mirc.h"
#include "component/component_identity.h"
#include "preferences/preferences_page_myimpl_win32.h"
#include "runtime/service.h"
#include "runtime/static_order.h"
#include "support/abort_signal_hook_win32.h"

// -- factories, in registration order: the host walks them as playback
// callback, preferences page, component information, installation validator --
service_factory_single_t<component_installation_validator_filename, component_installation_validator_class_guid>
    g_installation_validator_factory CHIRPLINE_STATIC_ORDER(static_step_installation_validator_factory);
service_factory_single_t<componentversion_myimpl, componentversion_class_guid>
    g_componentversion_factory CHIRPLINE_STATIC_ORDER(static_step_componentversion_factory);
preferences_page_factory_t<preferences_page_myimpl>
    g_preferences_page_factory CHIRPLINE_STATIC_ORDER(static_step_preferences_page_factory);
play_callback_static_factory_t<play_callback_mirc>
    g_play_callback_factory CHIRPLINE_STATIC_ORDER(static_step_play_callback_factory);

// -- last: the abort-signal hook --
// Its destructor runs first of the ordered statics at unload (only statics
// without a step go before it) and puts the previous signal handlers back, so
// no signal can reach this library's code once it is unmapped.
namespace {
struct abort_signal_hook_guard {
  abort_signal_hook_guard() noexcept { install_abort_signal_hook(); }
  ~abort_signal_hook_guard() { remove_abort_signal_hook(); }
  abort_signal_hook_guard(const abort_signal_hook_guard&) = delete;
  abort_signal_hook_guard& operator=(const abort_signal_hook_guard&) = delete;
};
abort_signal_hook_guard g_abort_signal_hook CHIRPLINE_STATIC_ORDER(static_step_abort_signal_hook);
} // namespace
