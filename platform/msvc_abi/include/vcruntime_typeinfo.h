// type_info as vcruntime140 lays it out: the operation table, the undecorated
// name (filled in on demand), the decorated name. Its comparisons are the
// runtime's; its table is the runtime's too (type_info_vtable.cpp).
#pragma once
#include <vcruntime_exception.h>

extern "C" {
struct __std_type_info_data {
  const char* _UndecoratedName;
  const char _DecoratedName[1];
};
__declspec(dllimport) int __cdecl __std_type_info_compare(const __std_type_info_data*, const __std_type_info_data*);
__declspec(dllimport) unsigned __int64 __cdecl __std_type_info_hash(const __std_type_info_data*);
__declspec(dllimport) const char* __cdecl __std_type_info_name(__std_type_info_data*, struct __type_info_node*);
}
extern "C" struct __type_info_node __type_info_root_node;

class type_info {
public:
  type_info(const type_info&) = delete;
  type_info& operator=(const type_info&) = delete;
  virtual ~type_info() noexcept;

  size_t hash_code() const noexcept { return static_cast<size_t>(__std_type_info_hash(&_Data)); }
  bool operator==(const type_info& other) const noexcept { return __std_type_info_compare(&_Data, &other._Data) == 0; }
  bool operator!=(const type_info& other) const noexcept { return !(*this == other); }
  bool before(const type_info& other) const noexcept { return __std_type_info_compare(&_Data, &other._Data) < 0; }
  const char* name() const noexcept { return __std_type_info_name(&_Data, &__type_info_root_node); }
  const char* raw_name() const noexcept { return _Data._DecoratedName; }

private:
  mutable __std_type_info_data _Data;
};

namespace std {
using ::type_info;

class bad_cast : public exception {
public:
  bad_cast() noexcept : exception("bad cast", 1) {}
};

class bad_typeid : public exception {
public:
  bad_typeid() noexcept : exception("bad typeid", 1) {}
};
} // namespace std
