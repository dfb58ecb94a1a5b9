// std::exception_ptr over msvcp140's __ExceptionPtr* functions, as a module
// built with Microsoft's library has it, so an exception kept in one module and
// raised again is the same object to every module of the process.
//
// rethrow_exception raises a copy made on its own stack, as Microsoft's
// runtime does: the runtime destroys what it raised once the catch is done,
// and the kept exception stays the exception_ptr's. (Wine's msvcp140 raises
// the kept object itself; when the last exception_ptr goes while unwinding,
// that object is freed before the catch reads it.)
#include <cstring>
#include <exception>

#include <windows.h>

__declspec(dllimport) void __cdecl __ExceptionPtrCreate(void* ptr);
__declspec(dllimport) void __cdecl __ExceptionPtrDestroy(void* ptr);
__declspec(dllimport) void __cdecl __ExceptionPtrCopy(void* to, const void* from);
__declspec(dllimport) void __cdecl __ExceptionPtrAssign(void* to, const void* from);
__declspec(dllimport) bool __cdecl __ExceptionPtrCompare(const void* one, const void* other);
__declspec(dllimport) bool __cdecl __ExceptionPtrToBool(const void* ptr);
__declspec(dllimport) void __cdecl __ExceptionPtrSwap(void* one, void* other);
__declspec(dllimport) void __cdecl __ExceptionPtrCurrentException(void* ptr);
[[noreturn]] __declspec(dllimport) void __cdecl __ExceptionPtrRethrow(const void* ptr);
__declspec(dllimport) void __cdecl __ExceptionPtrCopyException(void* ptr, const void* object, const void* info);
extern "C" [[noreturn]] __declspec(dllimport) void __stdcall _CxxThrowException(void* object, void* info);

namespace {

// The C++ exception's record, as vcruntime140 raises it: code, then the
// object and its throw information (on x86-64 also the image base the throw
// information's offsets count from).
constexpr DWORD cxx_exception_code = 0xE06D7363u;
struct throw_info {
  std::uint32_t attributes;
  std::int32_t destructor, forward_compat, catchable_types;
};
struct catchable_type_array {
  std::int32_t count;
  std::int32_t types[1];
};
struct catchable_type {
  std::uint32_t properties;
  std::int32_t type;
  std::int32_t member_displacement, vbtable_displacement, vbase_displacement;
  std::int32_t size;
  std::int32_t copy_constructor;
};
constexpr std::uint32_t simple_type = 1, has_virtual_base = 4;

#ifdef __i386__
using copy_fn = void(__thiscall*)(void* to, const void* from);
using copy_virtual_base_fn = void(__thiscall*)(void* to, const void* from, int most_derived);
#else
using copy_fn = void (*)(void* to, const void* from);
using copy_virtual_base_fn = void (*)(void* to, const void* from, int most_derived);
#endif

template <class T> const T* at(ULONG_PTR base, std::int32_t offset) {
  return reinterpret_cast<const T*>(base + static_cast<ULONG_PTR>(offset));
}

} // namespace

namespace std {

exception_ptr::exception_ptr() noexcept { __ExceptionPtrCreate(this); }
exception_ptr::exception_ptr(nullptr_t) noexcept { __ExceptionPtrCreate(this); }
exception_ptr::exception_ptr(const exception_ptr& other) noexcept { __ExceptionPtrCopy(this, &other); }
exception_ptr& exception_ptr::operator=(const exception_ptr& other) noexcept {
  __ExceptionPtrAssign(this, &other);
  return *this;
}
exception_ptr& exception_ptr::operator=(nullptr_t) noexcept {
  exception_ptr empty;
  __ExceptionPtrAssign(this, &empty);
  return *this;
}
exception_ptr::~exception_ptr() noexcept { __ExceptionPtrDestroy(this); }
exception_ptr::operator bool() const noexcept { return __ExceptionPtrToBool(this); }
bool operator==(const exception_ptr& one, const exception_ptr& other) noexcept {
  return __ExceptionPtrCompare(&one, &other);
}
void swap(exception_ptr& one, exception_ptr& other) noexcept { __ExceptionPtrSwap(&one, &other); }

exception_ptr __copy_exception_ptr(void* object, const void* info) {
  exception_ptr kept;
  if (info != nullptr) __ExceptionPtrCopyException(&kept, object, info);
  return kept;
}

exception_ptr current_exception() noexcept {
  exception_ptr kept;
  __ExceptionPtrCurrentException(&kept);
  return kept;
}

void rethrow_exception(exception_ptr kept) {
  // Both runtimes keep the record's address first in an exception_ptr.
  const EXCEPTION_RECORD* record;
  std::memcpy(&record, &kept, sizeof record);
  if (record == nullptr || record->ExceptionCode != cxx_exception_code || record->NumberParameters < 3)
    __ExceptionPtrRethrow(&kept);
  void* const object = reinterpret_cast<void*>(record->ExceptionInformation[1]);
  auto* const info = reinterpret_cast<const throw_info*>(record->ExceptionInformation[2]);
  const ULONG_PTR base = record->NumberParameters > 3 ? record->ExceptionInformation[3] : 0;
  const auto* types = at<catchable_type_array>(base, info->catchable_types);
  const auto* exact = at<catchable_type>(base, types->types[0]);
  void* const copy = __builtin_alloca(static_cast<std::size_t>(exact->size));
  if ((exact->properties & simple_type) != 0 || exact->copy_constructor == 0) {
    std::memcpy(copy, object, static_cast<std::size_t>(exact->size));
  } else if ((exact->properties & has_virtual_base) != 0) {
    reinterpret_cast<copy_virtual_base_fn>(base + static_cast<ULONG_PTR>(exact->copy_constructor))(copy, object, 1);
  } else {
    reinterpret_cast<copy_fn>(base + static_cast<ULONG_PTR>(exact->copy_constructor))(copy, object);
  }
  _CxxThrowException(copy, const_cast<throw_info*>(info));
}

} // namespace std
