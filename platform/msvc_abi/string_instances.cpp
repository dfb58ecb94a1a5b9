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
