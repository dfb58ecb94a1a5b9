// IRC's 512-byte line, as every line to the server must keep it.
#pragma once
#include <cstddef>
#include <string>

// Cuts message (without CR LF) so that, relayed by the server to the channel
// as ":" + prefix + " " + message + CR LF, it fits 512 bytes (prefix_size 0:
// the line as sent). The cut falls on a UTF-8 character boundary, and a CTCP
// message keeps its closing \x01. True when it cut.
bool fit_irc_line(std::string& message, std::size_t prefix_size);
