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

void console_error(const char* message) {
  console_line() << "Error"
                 << ": " << message;
}

void console_info(const char* message) {
  console_line() << "Chirpline"
                 << ": " << message;
}
