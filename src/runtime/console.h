// Console lines: built whole, handed to every console service of the host, and
// only while the host has declared its services ready.
#pragma once
#include <cstdint>

void console_print(const char* text);

// "Error: " and the message: a failure the user should know about.
void console_error(const char* message);
// "Chirpline: " and the message: what the component did.
void console_info(const char* message);
// The same for a message of exactly length bytes, none of them zero (a
// string's own text), so that it is not measured again.
void console_info(const char* message, std::uint32_t length);
