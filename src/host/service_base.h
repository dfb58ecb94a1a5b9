// Root of every service object: the three slots shared by every interface.
#pragma once
#include "host/guid.h"

#include <cstdint>

class service_base {
public:
  virtual std::int32_t release() = 0;
  virtual std::int32_t add_ref() = 0;
  // On success takes a new reference to itself, then releases what out_ref
  // held, and stores itself there. On failure out_ref is left untouched.
  virtual bool query_class(service_base*& out_ref, const guid& class_guid) = 0;

protected:
  service_base() = default;
  service_base(const service_base&) = default;
  service_base& operator=(const service_base&) = default;
  ~service_base() = default;
};

// One node of the factory chain. The host reads the node field by field:
// operation table, next, class identifier.
class service_factory_base {
public:
  virtual void create(service_base*& out_ref) = 0;

  service_factory_base* next;
  const guid* class_guid;

protected:
  service_factory_base(const guid* cls, service_factory_base* following) : next(following), class_guid(cls) {}
  service_factory_base(const service_factory_base&) = delete;
  service_factory_base& operator=(const service_factory_base&) = delete;
  ~service_factory_base() = default;
};
