#include "runtime/console.h"
#include "host/console.h"
#include "runtime/module_state.h"
#include "runtime/service.h"
#include "support/pfc/string8.h"

#include <cstring>

void console_print(const char* text) {
  // An empty line says nothing; no console ever receives one.
  if (!services_ready() || text == nullptr || *text == '\0') return;
  for_each_service(console_class_guid, [text](service_base* service) {
    static_cast<console_service*>(service)->print(text, pfc::infinite_length);
  });
}

namespace {

// The message is exactly message_length bytes, none of them zero. The line
// is written whole into one block of its exact size: three copies, no scan.
template <std::size_t label_size>
void print_labelled(const char (&label)[label_size], const char* message, std::uint32_t message_length) {
  if (!services_ready()) return; // dropped anyway; don't build it
  constexpr std::uint32_t head = label_size - 1 + 2;
  if (message_length >= pfc::infinite_length - head) pfc::throw_bad_alloc();
  pfc::string8_fast line;
  line.assign_zero_free(head + message_length, [&](char* p) {
    std::memcpy(p, label, label_size - 1);
    std::memcpy(p + label_size - 1, ": ", 2);
    if (message_length != 0) std::memcpy(p + head, message, message_length);
    return head + message_length;
  });
  console_print(line.text_ptr());
}

} // namespace

void console_error(const char* message) {
  print_labelled("Error", message, pfc::bounded_length(message, pfc::infinite_length));
}

void console_info(const char* message) {
  print_labelled("Chirpline", message, pfc::bounded_length(message, pfc::infinite_length));
}

void console_info(const char* message, std::uint32_t length) { print_labelled("Chirpline", message, length); }
