// Saving and loading every configuration variable in the settings-stream format.
#pragma once
#include "host/settings_stream.h"

void write_all_variables(settings_writer& writer, abort_handle& abort);
void read_all_variables(settings_reader& reader, abort_handle& abort);
