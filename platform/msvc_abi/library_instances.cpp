// The members of std::string and std::wstring that libc++'s headers declare
// as instantiated in its DLL: made here instead, as libc++ itself makes them.
#include <string>

#define MSVC_ABI_INSTANTIATE(...) template __VA_ARGS__;
_LIBCPP_BEGIN_NAMESPACE_STD
_LIBCPP_STRING_V1_EXTERN_TEMPLATE_LIST(MSVC_ABI_INSTANTIATE, char)
_LIBCPP_STRING_V1_EXTERN_TEMPLATE_LIST(MSVC_ABI_INSTANTIATE, wchar_t)
_LIBCPP_END_NAMESPACE_STD

// Likewise the one operator+ the headers leave to the DLL.
_LIBCPP_BEGIN_NAMESPACE_STD
template string operator+<char, char_traits<char>, allocator<char>>(const char*, const string&);
template wstring operator+<wchar_t, char_traits<wchar_t>, allocator<wchar_t>>(const wchar_t*, const wstring&);
_LIBCPP_END_NAMESPACE_STD

// And the sort of the arithmetic types, which libc++ also keeps in its DLL.
#include <algorithm>

_LIBCPP_BEGIN_NAMESPACE_STD
#define MSVC_ABI_SORT(T)                                                                                               \
  template void __sort<__less<T, T>&, T*>(T*, T*, __less<T, T>&);                                                      \
  template bool __insertion_sort_incomplete<__less<T, T>&, T*>(T*, T*, __less<T, T>&);                                 \
  template unsigned __sort5<__less<T, T>&, T*>(T*, T*, T*, T*, T*, __less<T, T>&);
MSVC_ABI_SORT(char)
MSVC_ABI_SORT(wchar_t)
MSVC_ABI_SORT(signed char)
MSVC_ABI_SORT(unsigned char)
MSVC_ABI_SORT(short)
MSVC_ABI_SORT(unsigned short)
MSVC_ABI_SORT(int)
MSVC_ABI_SORT(unsigned)
MSVC_ABI_SORT(long)
MSVC_ABI_SORT(unsigned long)
MSVC_ABI_SORT(long long)
MSVC_ABI_SORT(unsigned long long)
MSVC_ABI_SORT(float)
MSVC_ABI_SORT(double)
MSVC_ABI_SORT(long double)
_LIBCPP_END_NAMESPACE_STD
