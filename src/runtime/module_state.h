// Module-wide state received from the host.
#pragma once
#include "host/host_api.h"

host_api* module_host_api() noexcept;
void set_module_host_api(host_api* api) noexcept;

const char* module_path() noexcept;
const char* module_file_name() noexcept;
void set_module_path(const char* full_path, const char* file_name);

bool services_ready() noexcept;
void set_services_ready(bool ready) noexcept;
