// The host's console service.
#pragma once
#include "host/service_base.h"

// {90DF5270-65BB-4DBA-BAF5-86BE9E59DC20}
inline constexpr guid console_class_guid = {
    0x90DF5270, 0x65BB, 0x4DBA, {0xBA, 0xF5, 0x86, 0xBE, 0x9E, 0x59, 0xDC, 0x20}};

class console_service : public service_base {
public:
  // length all-ones: the text runs up to its terminating zero.
  virtual void print(const char* text, std::uint32_t length) = 0;
};
