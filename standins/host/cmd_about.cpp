#include "host/identity.h"
#include "host_commands.h"
#include "text_sink.h"

#include <cstdio>

namespace {

// The interface named by class_guid on the component's first service of that
// class, asked for through query_class as the player does.
template <typename T> host_ref<T> first_service(loaded_component& component, const guid& class_guid) {
  for (auto& service : component.services(class_guid)) {
    host_ref<service_base> answer;
    if (service->query_class(answer.receive(), class_guid)) return host_ref<T>::adopt(static_cast<T*>(answer.detach()));
  }
  return {};
}

} // namespace

int run_about(host_session& session, const std::vector<std::wstring>&) {
  auto version = first_service<componentversion>(session.component, componentversion_class_guid);
  if (version) {
    text_sink name, number, file_name, about;
    version->report_name(name);
    version->report_version(number);
    version->report_file_name(file_name);
    version->report_about_text(about);
    std::printf("name: %s\nversion: %s\nfile name: %s\nabout:\n", name.text().c_str(), number.text().c_str(),
                file_name.text().c_str());
    // One indented line per line of the about text.
    const std::string& text = about.text();
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::printf("  %s\n", text.substr(start, end - start).c_str());
      start = end + 1;
    }
  } else {
    std::printf("no component information service\n");
  }
  auto validator =
      first_service<component_installation_validator>(session.component, component_installation_validator_class_guid);
  if (validator)
    std::printf("installation check: %s\n", validator->check_installation() ? "passed" : "failed");
  else
    std::printf("installation check: no validator service\n");
  return 0;
}
