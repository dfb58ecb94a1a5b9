// The stand-in host's title-format engine: %field% is replaced by the track's
// field of that name (letter case ignored; "?" when the track has none), %%
// is one percent sign, everything else is copied as it is.
#pragma once
#include "host/titleformat.h"
#include "track_fields.h"

#include <string>
#include <vector>

class compiled_pattern : public titleformat_script {
public:
  explicit compiled_pattern(const char* pattern);
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  std::string render(const track_fields& fields) const;

private:
  struct segment {
    bool is_field;
    std::string text; // literal text, or the field's name
  };
  std::vector<segment> segments_;
};

class titleformat_compiler_standin : public titleformat_compiler {
public:
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  bool compile_pattern(titleformat_script*& out_script, const char* pattern_text) override;
};

// A track of the stand-in host: its fields and where it came from.
class track_standin : public track_handle {
public:
  track_standin(track_fields fields, std::string location)
      : fields_(std::move(fields)), location_(std::move(location)) {}
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  const char* track_location() override { return location_.c_str(); }
  // script must come from titleformat_compiler_standin; null renders nothing.
  bool render_title(void* hook, pfc::string_base& out_text, titleformat_script* script, void* filter) override;

private:
  track_fields fields_;
  std::string location_;
};
