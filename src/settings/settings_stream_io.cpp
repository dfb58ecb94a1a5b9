// Placeholder until the settings stream lands: the slots exist, nothing is stored.
#include "settings/settings_stream_io.h"

void write_all_variables(settings_writer&, abort_handle&) {}
void read_all_variables(settings_reader&, abort_handle&) {}
