// The stand-in's host_version_info service: the version the help addresses of
// preferences pages name.
#pragma once
#include "host/preferences.h"
#include "host_ref.h"

constexpr const char host_standin_version[] = "0.9.0";

class host_version_info_standin : public host_version_info {
public:
  bool query_class(service_base*& out_ref, const guid& class_guid) override {
    if (class_guid != host_version_info_class_guid) return false;
    return host_hand_out(this, out_ref);
  }
  // Static text: stays valid after the last reference is gone.
  const char* version_text() override { return host_standin_version; }

protected:
  ~host_version_info_standin() = default;
};
