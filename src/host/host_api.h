// The host's service directory, handed to the component's entry point.
#pragma once
#include "host/service_base.h"

class host_api {
public:
  virtual std::uint32_t find_class(const guid& class_guid) = 0;
  // On true, out_ref holds a new reference to the index-th service of the class.
  virtual bool create_instance(service_base*& out_ref, std::uint32_t class_handle, std::uint32_t index) = 0;
  virtual std::uint32_t count_instances(std::uint32_t class_handle) = 0;

protected:
  ~host_api() = default;
};
