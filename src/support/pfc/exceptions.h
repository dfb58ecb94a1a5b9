// The component's failure types. A handler selects failures by type, so the
// hierarchy is part of the contract; messages are static literals.
#pragma once
#include <exception>
#include <new>

namespace pfc {

// Allocation failure and 32-bit size overflow. GCC's std::bad_alloc reports
// "std::bad_alloc"; the component's callers expect the text "bad allocation".
class bad_allocation : public std::bad_alloc {
public:
  const char* what() const noexcept override { return "bad allocation"; }
};

[[noreturn]] void throw_bad_alloc();

class exception_overflow : public std::exception {
public:
  const char* what() const noexcept override { return "Overflow"; }
};

class exception_bug_check : public std::exception {
protected:
  exception_bug_check() = default;
};

class exception_not_implemented : public exception_bug_check {
public:
  exception_not_implemented() = default;
  const char* what() const noexcept override { return "Feature not implemented"; }
};

} // namespace pfc

class exception_service_not_found : public std::exception {
public:
  const char* what() const noexcept override { return "Service not found"; }
};

class exception_service_duplicated : public std::exception {
public:
  const char* what() const noexcept override { return "Service duplicated"; }
};

namespace corvane_io {

class exception_io : public std::exception {
protected:
  exception_io() = default;
};

class exception_io_data : public exception_io {
protected:
  exception_io_data() = default;
};

class exception_io_data_truncation : public exception_io_data {
public:
  exception_io_data_truncation() = default;
  const char* what() const noexcept override { return "Unsupported format or corrupted file"; }
};

// Deliberately not an exception_io: an abort is not a data error and must not
// be swallowed by the per-record handler of the settings loader.
class exception_aborted : public std::exception {
public:
  const char* what() const noexcept override { return "User abort"; }
};

} // namespace corvane_io
