// Who the component is, and whether it sits under its expected file name.
#pragma once
#include "host/service_base.h"
#include "host/string_base.h"

// {10BB3EBD-DDF7-4975-A3CC-23084829453E}
inline constexpr guid componentversion_class_guid = {
    0x10BB3EBD, 0xDDF7, 0x4975, {0xA3, 0xCC, 0x23, 0x08, 0x48, 0x29, 0x45, 0x3E}};
// {0639283E-3004-4E5C-B1B3-6DFF08A79284}
inline constexpr guid component_installation_validator_class_guid = {
    0x0639283E, 0x3004, 0x4E5C, {0xB1, 0xB3, 0x6D, 0xFF, 0x08, 0xA7, 0x92, 0x84}};

class componentversion : public service_base {
public:
  virtual void report_file_name(pfc::string_base& out) = 0;
  virtual void report_name(pfc::string_base& out) = 0;
  virtual void report_version(pfc::string_base& out) = 0;
  virtual void report_about_text(pfc::string_base& out) = 0;
};

class component_installation_validator : public service_base {
public:
  virtual bool check_installation() = 0;
};
