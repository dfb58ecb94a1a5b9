// The host's title-format compiler, its compiled scripts and track handles.
#pragma once
#include "host/service_base.h"
#include "host/string_base.h"

// {3F7674AB-044C-4796-8801-6C443C244D88}
inline constexpr guid titleformat_compiler_class_guid = {
    0x3F7674AB, 0x044C, 0x4796, {0x88, 0x01, 0x6C, 0x44, 0x3C, 0x24, 0x4D, 0x88}};

// Opaque to the component: only handed back to render_title and released.
class titleformat_script : public service_base {};

class titleformat_compiler : public service_base {
public:
  // On return out_script holds a new reference (a previous one is released).
  virtual bool compile_pattern(titleformat_script*& out_script, const char* pattern_text) = 0;
};

class track_handle : public service_base {
public:
  // Where the track lives, as the host names it; not used by the component.
  virtual const char* track_location() = 0;
  virtual bool render_title(void* hook, pfc::string_base& out_text, titleformat_script* script, void* filter) = 0;
};
