// Who the component is (name, version, about text, file name) and whether it
// sits under the file name it was built for.
#pragma once
#include "host/identity.h"

class componentversion_myimpl : public componentversion {
public:
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  void report_file_name(pfc::string_base& out) override;
  void report_name(pfc::string_base& out) override;
  void report_version(pfc::string_base& out) override;
  void report_about_text(pfc::string_base& out) override;
};

class component_installation_validator_filename : public component_installation_validator {
public:
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  bool check_installation() override;

  const char* expected_file_name = "cor_chirpline.dll";
};

// The part of path after its last '\\', '/', '|' or ':' (all of it when none occurs).
const char* file_name_part(const char* path) noexcept;
