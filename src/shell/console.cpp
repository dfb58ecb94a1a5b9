#include "shell/console.h"
#include "host/console.h"
#include "shell/module_state.h"
#include "shell/service.h"

void console_print(const char* text) {
  // An empty line says nothing; no console ever receives one.
  if (!services_ready() || text == nullptr || *text == '\0') return;
  for_each_service(console_class_guid, [text](service_base* service) {
    static_cast<console_service*>(service)->print(text, pfc::infinite_length);
  });
}

namespace {

void print_labelled(const char* label, const char* message) {
  if (!services_ready()) return; // dropped anyway; don't build it
  const std::uint64_t length = static_cast<std::uint64_t>(pfc::bounded_length(label, pfc::infinite_length)) + 2 +
                               pfc::bounded_length(message, pfc::infinite_length);
  if (length >= pfc::infinite_length) pfc::throw_bad_alloc();
  console_line line;
  line.reserve(static_cast<std::uint32_t>(length));
  line << label << ": " << message;
}

} // namespace

void console_error(const char* message) { print_labelled("Error", message); }

void console_info(const char* message) { print_labelled("Chirpline", message); }
