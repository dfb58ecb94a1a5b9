// The C++ pieces Microsoft's static runtime and libc++'s DLL would supply:
// the allocation functions, type_info's operation table, termination, and the
// few library functions libc++ keeps out of line. Each throws vcruntime140's
// exceptions, which every module built in this ABI catches alike.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include <malloc.h>

// -- allocation --

namespace std {
const nothrow_t nothrow{};
} // namespace std

namespace {
void* allocate(std::size_t size) {
  if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
  if (void* block = _aligned_malloc(size != 0 ? size : 1, static_cast<std::size_t>(alignment))) return block;
  throw std::bad_alloc();
}
} // namespace

void* __cdecl operator new(std::size_t size) { return allocate(size); }
void* __cdecl operator new[](std::size_t size) { return allocate(size); }
void* __cdecl operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void* __cdecl operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void __cdecl operator delete(void* block) noexcept { std::free(block); }
void __cdecl operator delete[](void* block) noexcept { std::free(block); }
void __cdecl operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void __cdecl operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void __cdecl operator delete(void* block, std::size_t) noexcept { std::free(block); }
void __cdecl operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void* __cdecl operator new(std::size_t size, std::align_val_t alignment) { return allocate_aligned(size, alignment); }
void* __cdecl operator new[](std::size_t size, std::align_val_t alignment) { return allocate_aligned(size, alignment); }
void __cdecl operator delete(void* block, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete[](void* block, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete(void* block, std::size_t, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete[](void* block, std::size_t, std::align_val_t) noexcept { _aligned_free(block); }

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
} // namespace std

// -- type_info --

// Every type descriptor of the module points at type_info's operation table,
// which Microsoft's static runtime defines: one slot, the deleting destructor
// (type descriptors are never deleted; the slot is there for the layout).
#ifdef __i386__
#define MSVC_ABI_MEMBER_CALL __thiscall
#else
#define MSVC_ABI_MEMBER_CALL
#endif
namespace {
void* MSVC_ABI_MEMBER_CALL type_info_deleting_destructor(void* self, unsigned) { return self; }
} // namespace
extern "C" const void* const type_info_operation_table[1] __asm__("??_7type_info@@6B@") = {
    reinterpret_cast<const void*>(&type_info_deleting_destructor)};

// The list of undecorated names type_info::name() builds.
extern "C" struct __type_info_node {
  void* memory;
  __type_info_node* next;
} __type_info_root_node = {nullptr, nullptr};

// -- termination and exceptions in flight --

extern "C" __declspec(dllimport) int __cdecl __uncaught_exceptions();

namespace std {
void terminate() noexcept { std::abort(); }
bool uncaught_exception() noexcept { return __uncaught_exceptions() > 0; }
int uncaught_exceptions() noexcept { return __uncaught_exceptions(); }

logic_error::logic_error(const string& text) : exception(text.c_str()) {}
runtime_error::runtime_error(const string& text) : exception(text.c_str()) {}
} // namespace std

_LIBCPP_BEGIN_NAMESPACE_STD

void __libcpp_verbose_abort(const char*, ...) { std::abort(); }

// -- numbers as text --

namespace {
template <class Text, class Value> Text as_text(const char* format, Value value) {
  char digits[24];
  const int length = std::snprintf(digits, sizeof digits, format, value);
  return Text(digits, digits + (length > 0 ? length : 0));
}
} // namespace

string to_string(int value) { return as_text<string>("%d", value); }
string to_string(unsigned value) { return as_text<string>("%u", value); }
string to_string(long value) { return as_text<string>("%ld", value); }
string to_string(unsigned long value) { return as_text<string>("%lu", value); }
string to_string(long long value) { return as_text<string>("%lld", value); }
string to_string(unsigned long long value) { return as_text<string>("%llu", value); }
wstring to_wstring(int value) { return as_text<wstring>("%d", value); }
wstring to_wstring(unsigned value) { return as_text<wstring>("%u", value); }
wstring to_wstring(long value) { return as_text<wstring>("%ld", value); }
wstring to_wstring(unsigned long value) { return as_text<wstring>("%lu", value); }
wstring to_wstring(long long value) { return as_text<wstring>("%lld", value); }
wstring to_wstring(unsigned long long value) { return as_text<wstring>("%llu", value); }

_LIBCPP_END_NAMESPACE_STD
