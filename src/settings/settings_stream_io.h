// Saving and loading every configuration variable in the settings-stream format.
#pragma once
#include "host/settings_stream.h"

void write_all_variables(settings_writer& writer, abort_handle& abort);
// Records take effect when the stream has been read. When memory runs out
// (std::bad_alloc) no variable changes; when the data is damaged or the
// host's stream fails, the records read whole before that take effect and
// the exception passes on.
void read_all_variables(settings_reader& reader, abort_handle& abort);
