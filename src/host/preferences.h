// The host's preferences page interfaces, the page instance and its listener,
// and the host version service the help address needs.
#pragma once
#include "host/service_base.h"
#include "host/string_base.h"

using window_handle_t = void*; // the platform's window handle

// {7255E8D0-3FCF-4781-B93B-D06CB88DFAFA}
inline constexpr guid preferences_page_class_guid = {
    0x7255E8D0, 0x3FCF, 0x4781, {0xB9, 0x3B, 0xD0, 0x6C, 0xB8, 0x8D, 0xFA, 0xFA}};
// {CE4EBC9E-AB20-46F9-925F-883B084F0569}
inline constexpr guid preferences_page_v2_class_guid = {
    0xCE4EBC9E, 0xAB20, 0x46F9, {0x92, 0x5F, 0x88, 0x3B, 0x08, 0x4F, 0x05, 0x69}};
// {D6D0F741-9F17-4DF8-9D5C-87F28B1F0E64}
inline constexpr guid preferences_page_v3_class_guid = {
    0xD6D0F741, 0x9F17, 0x4DF8, {0x9D, 0x5C, 0x87, 0xF2, 0x8B, 0x1F, 0x0E, 0x64}};
// {6893A996-A816-49FE-82CE-0CB804A4CFEC}
inline constexpr guid preferences_page_instance_class_guid = {
    0x6893A996, 0xA816, 0x49FE, {0x82, 0xCE, 0x0C, 0xB8, 0x04, 0xA4, 0xCF, 0xEC}};
// {0C36A649-9EA0-4F48-B229-0CB2AA9AB6F4}
inline constexpr guid host_version_info_class_guid = {
    0x0C36A649, 0x9EA0, 0x4F48, {0xB2, 0x29, 0x0C, 0xB2, 0xAA, 0x9A, 0xB6, 0xF4}};

constexpr std::uint32_t page_state_changed = 1;
constexpr std::uint32_t page_state_resettable = 8;

class host_version_info : public service_base {
public:
  // Owned by the host; stays valid after the reference is released.
  virtual const char* version_text() = 0;
};

class page_state_listener : public service_base {
public:
  virtual void notify_state_change() = 0;
};

class preferences_page_instance : public service_base {
public:
  virtual std::uint32_t state_flags() = 0;
  virtual window_handle_t window_handle() = 0;
  virtual void apply_changes() = 0;
  virtual void reset_to_defaults() = 0;
};

class preferences_page : public service_base {
public:
  virtual window_handle_t create_page_window(window_handle_t parent_window) = 0;
  virtual const char* display_name() = 0;
  virtual guid page_guid() = 0;
  virtual guid parent_guid() = 0;
  virtual bool can_reset() = 0;
  virtual void reset_page() = 0;
};

class preferences_page_v2 : public preferences_page {
public:
  virtual bool help_url(pfc::string_base& out_text) = 0;
  virtual double sort_priority() = 0;
};

class preferences_page_v3 : public preferences_page_v2 {
public:
  // listener: one reference, owned by the callee. Returns a new instance
  // carrying one reference for the caller.
  virtual preferences_page_instance* make_instance(window_handle_t parent_window, page_state_listener* listener) = 0;
};
