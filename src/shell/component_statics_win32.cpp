// Every static the host can observe, defined in one translation unit so their
// construction order is certain: the factory chain is walked in the reverse of
// the order below (each registration pushes on the front).
#include "announcer/play_callback_mirc.h"
#include "shell/component_identity.h"
#include "shell/service.h"

// -- factories, in registration order --
// (1) installation validator, (2) component information,
// (3) preferences page, (4) playback callback: added as their services land.
service_factory_single_t<component_installation_validator_filename, component_installation_validator_class_guid>
    g_installation_validator_factory;
service_factory_single_t<componentversion_myimpl, componentversion_class_guid> g_componentversion_factory;
play_callback_static_factory_t<play_callback_mirc> g_play_callback_factory;

// -- last: the abort-signal hook --
