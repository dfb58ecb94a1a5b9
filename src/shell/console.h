// Console lines: built whole, handed to every console service of the host, and
// only while the host has declared its services ready.
#pragma once
#include "support/pfc/string8.h"

#include <exception>

void console_print(const char* text);

// Gathers one line and emits it when the statement that made it ends; an empty
// line is never emitted, nor one abandoned by an exception.
class console_line {
public:
  console_line() = default;
  console_line(const console_line&) = delete;
  console_line& operator=(const console_line&) = delete;
  ~console_line() noexcept(false) {
    if (text_.text_length() != 0 && std::uncaught_exceptions() == uncaught_at_start_) console_print(text_.text_ptr());
  }
  console_line& operator<<(const char* text) {
    text_.append_text(text, pfc::infinite_length);
    return *this;
  }

private:
  pfc::string8_fast text_;
  int uncaught_at_start_ = std::uncaught_exceptions();
};

// "Error: " and the message: a failure the user should know about.
void console_error(const char* message);
// "Chirpline: " and the message: what the component did.
void console_info(const char* message);
// The same for a message of exactly length bytes, none of them zero (a
// string's own text), so that it is not measured again.
void console_info(const char* message, std::uint32_t length);
