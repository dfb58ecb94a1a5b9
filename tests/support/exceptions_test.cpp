// The failure types: what each says, and which handler catches which.
#include "support/pfc/exceptions.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

template <typename Caught, typename Thrown> bool caught_as() {
  try {
    throw Thrown();
  } catch (const Caught&) {
    return true;
  } catch (...) {
    return false;
  }
}

TEST(Exceptions, FixedMessages) {
  EXPECT_STREQ(pfc::bad_allocation().what(), "bad allocation");
  EXPECT_STREQ(pfc::exception_overflow().what(), "Overflow");
  EXPECT_STREQ(pfc::exception_not_implemented().what(), "Feature not implemented");
  EXPECT_STREQ(exception_service_not_found().what(), "Service not found");
  EXPECT_STREQ(exception_service_duplicated().what(), "Service duplicated");
  EXPECT_STREQ(corvane_io::exception_io_data_truncation().what(), "Unsupported format or corrupted file");
  EXPECT_STREQ(corvane_io::exception_aborted().what(), "User abort");
  // The message is the literal itself, not a copy made per object.
  EXPECT_EQ(pfc::exception_overflow().what(), pfc::exception_overflow().what());
}

TEST(Exceptions, BadAllocationIsTheStandardOne) {
  EXPECT_TRUE((caught_as<std::bad_alloc, pfc::bad_allocation>()));
  try {
    pfc::throw_bad_alloc();
    FAIL() << "nothing was thrown";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "bad allocation");
  }
}

TEST(Exceptions, DataHandlerCatchesTruncationButNotAbort) {
  EXPECT_TRUE((caught_as<corvane_io::exception_io_data, corvane_io::exception_io_data_truncation>()));
  EXPECT_TRUE((caught_as<corvane_io::exception_io, corvane_io::exception_io_data_truncation>()));
  EXPECT_FALSE((caught_as<corvane_io::exception_io_data, corvane_io::exception_aborted>()));
  EXPECT_FALSE((caught_as<corvane_io::exception_io, corvane_io::exception_aborted>()));
  EXPECT_TRUE((caught_as<std::exception, corvane_io::exception_aborted>()));
}

TEST(Exceptions, BugCheckCatchesNotImplemented) {
  EXPECT_TRUE((caught_as<pfc::exception_bug_check, pfc::exception_not_implemented>()));
  EXPECT_FALSE((caught_as<pfc::exception_bug_check, pfc::exception_overflow>()));
  EXPECT_FALSE((caught_as<exception_service_not_found, exception_service_duplicated>()));
  EXPECT_FALSE((caught_as<exception_service_duplicated, exception_service_not_found>()));
}

// Every type is a std::exception and adds nothing to its operation table.
template <typename T> constexpr bool plain_std_exception() {
  return std::is_base_of_v<std::exception, T> && sizeof(T) == sizeof(std::exception);
}
static_assert(plain_std_exception<pfc::bad_allocation>());
static_assert(plain_std_exception<pfc::exception_overflow>());
static_assert(plain_std_exception<pfc::exception_bug_check>());
static_assert(plain_std_exception<pfc::exception_not_implemented>());
static_assert(plain_std_exception<exception_service_not_found>());
static_assert(plain_std_exception<exception_service_duplicated>());
static_assert(plain_std_exception<corvane_io::exception_io_data_truncation>());
static_assert(plain_std_exception<corvane_io::exception_aborted>());
static_assert(!std::is_base_of_v<corvane_io::exception_io, corvane_io::exception_aborted>);
static_assert(!std::is_base_of_v<corvane_io::exception_io, exception_service_not_found>);
static_assert(!std::is_constructible_v<corvane_io::exception_io_data>, "only a base");
static_assert(!std::is_constructible_v<pfc::exception_bug_check>, "only a base");

} // namespace
