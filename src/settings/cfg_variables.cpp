// The component's settings, constructed (and linked onto the lists) in this
// order: the pattern, then the flag.
#include "runtime/static_order.h"
#include "settings/cfg_var.h"

// {17F3215E-77F5-4E97-8ED2-ED8E28BB0524}
cfg_string cfg_title_pattern CHIRPLINE_STATIC_ORDER(static_step_title_pattern)(
    {0x17F3215E, 0x77F5, 0x4E97, {0x8E, 0xD2, 0xED, 0x8E, 0x28, 0xBB, 0x05, 0x24}}, cfg_title_pattern_default);

// {D199EB67-EF98-4FC6-970C-2E6C38329405}
cfg_int_t<bool> cfg_enabled CHIRPLINE_STATIC_ORDER(static_step_enabled_flag)(
    {0xD199EB67, 0xEF98, 0x4FC6, {0x97, 0x0C, 0x2E, 0x6C, 0x38, 0x32, 0x94, 0x05}}, true);
