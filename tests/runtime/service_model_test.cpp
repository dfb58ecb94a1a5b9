// Reference rules, the two lifetime models, the factory chain and its node
// layout, and host-service lookup against a host that records what it is asked.
#include "fake_host.h"
#include "runtime/module_state.h"
#include "runtime/service.h"
#include "support/pfc/exceptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

// How a member function is called through its table: this-call on i686
// Windows, a plain first argument elsewhere.
#if defined(_WIN32) && defined(__i386__)
#define CHIRPLINE_MEMBER_CALL __attribute__((thiscall))
#else
#define CHIRPLINE_MEMBER_CALL
#endif

namespace {

using event_log = std::vector<std::string>;

constexpr guid recorder_guid = {0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB}};
constexpr guid other_guid = {0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBC}};

// A service that logs every reference it gives or takes; counts are its own.
class recorder : public service_base {
public:
  recorder(std::string name, event_log* log) : name_(std::move(name)), log_(log) {}
  std::int32_t add_ref() override {
    log_->push_back(name_ + ".add_ref");
    return ++count;
  }
  std::int32_t release() override {
    log_->push_back(name_ + ".release");
    return --count;
  }
  bool query_class(service_base*& out_ref, const guid& class_guid) override {
    if (class_guid != recorder_guid) return false;
    return service_hand_out(this, out_ref);
  }
  std::int32_t count = 0;

private:
  std::string name_;
  event_log* log_;
};

// A heap service that says when it is destroyed.
class counted : public service_base {
public:
  explicit counted(bool* destroyed) : destroyed_(destroyed) {}
  ~counted() { *destroyed_ = true; }
  bool query_class(service_base*& out_ref, const guid& class_guid) override {
    if (class_guid != recorder_guid) return false;
    return service_hand_out(this, out_ref);
  }

private:
  bool* destroyed_;
};

TEST(QueryClass, TakesNewReferenceBeforeReleasingOld) {
  event_log log;
  recorder self("self", &log), old("old", &log);
  old.count = 1;
  service_base* out = &old;
  EXPECT_TRUE(self.query_class(out, recorder_guid));
  EXPECT_EQ(out, &self);
  EXPECT_EQ(log, (event_log{"self.add_ref", "old.release"}));
}

TEST(QueryClass, SelfHeldByTheOnlyReferenceSurvives) {
  // Releasing first would destroy the object before it could be stored.
  bool destroyed = false;
  auto* object = new service_impl_t<counted>(&destroyed);
  object->add_ref();
  service_base* out = object;
  EXPECT_TRUE(object->query_class(out, recorder_guid));
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(out, object);
  EXPECT_EQ(object->reference_count(), 1);
  EXPECT_EQ(out->release(), 0);
  EXPECT_TRUE(destroyed);
}

TEST(QueryClass, UnknownClassLeavesOutRefUntouched) {
  event_log log;
  recorder self("self", &log), old("old", &log);
  service_base* out = &old;
  EXPECT_FALSE(self.query_class(out, other_guid));
  EXPECT_EQ(out, &old);
  EXPECT_TRUE(log.empty());
}

TEST(ServiceLifetime, HeapServiceCountsFromZeroAndDiesAtZero) {
  bool destroyed = false;
  auto* object = new service_impl_t<counted>(&destroyed);
  EXPECT_EQ(object->reference_count(), 0);
  EXPECT_EQ(object->add_ref(), 1);
  EXPECT_EQ(object->add_ref(), 2);
  EXPECT_EQ(object->release(), 1);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(object->release(), 0);
  EXPECT_TRUE(destroyed);
}

TEST(ServiceLifetime, ReferenceHolderReleasesOnEveryPath) {
  bool destroyed = false;
  auto* object = new service_impl_t<counted>(&destroyed);
  object->add_ref();
  try {
    auto held = service_ptr_t<counted>::adopt(object);
    service_ptr_t<counted> copy = held; // 2
    EXPECT_EQ(object->reference_count(), 2);
    throw std::runtime_error("leaving");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(destroyed);
}

// Every reference is let go exactly once, whichever way it travels: the
// recorder's own count ends where it began, never below.
TEST(ServiceLifetime, ReferenceHolderHandsOnEachReferenceOnce) {
  event_log log;
  recorder kept("kept", &log), replaced("replaced", &log), copied_over("copied_over", &log);
  kept.count = replaced.count = copied_over.count = 1; // the references adopted below
  {
    auto first = service_ptr_t<recorder>::adopt(&kept);
    service_ptr_t<recorder> moved(std::move(first));
    EXPECT_FALSE(first);
    auto holder = service_ptr_t<recorder>::adopt(&replaced);
    holder = std::move(moved);
    EXPECT_FALSE(moved);
    EXPECT_EQ(replaced.count, 0) << "the reference the assignment replaced";
    auto copy = service_ptr_t<recorder>::adopt(&copied_over);
    copy = holder;
    EXPECT_EQ(copied_over.count, 0);
    EXPECT_EQ(kept.count, 2);
  }
  EXPECT_EQ(kept.count, 0);
  EXPECT_EQ(replaced.count, 0);
  EXPECT_EQ(copied_over.count, 0);
}

// Held by its only reference, an object that is assigned to itself must
// survive: letting go first would destroy it before taking it again.
TEST(ServiceLifetime, ReferenceHolderAssignedToItselfKeepsItsObject) {
  bool destroyed = false;
  auto* only = new service_impl_t<counted>(&destroyed);
  only->add_ref();
  {
    auto holder = service_ptr_t<counted>::adopt(only);
    service_ptr_t<counted>& same = holder;
    holder = same;
    holder = std::move(same);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(holder.get(), only);
    EXPECT_EQ(only->reference_count(), 1);
  }
  EXPECT_TRUE(destroyed);
}

// -- factories: three of this test's own, in registration order --
class first_service : public recorder {
public:
  first_service() : recorder("first", &log) {}
  event_log log;
};
class second_service : public recorder {
public:
  second_service() : recorder("second", &log) {}
  event_log log;
};
constexpr guid first_class = {0xA0000001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr guid second_class = {0xA0000002, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
constexpr guid third_class = {0xA0000003, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};

service_factory_single_t<first_service, first_class> g_first_factory;
service_factory_single_t<second_service, second_class> g_second_factory;
service_factory_single_t<first_service, third_class> g_third_factory;

TEST(FactoryChain, WalkedInReverseOfRegistration) {
  std::vector<const guid*> order;
  for (service_factory_base* f = factory_chain_head(); f != nullptr; f = f->next)
    order.push_back(f->class_guid);
  // Only this file registers factories in this program.
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0], &third_class);
  EXPECT_EQ(order[1], &second_class);
  EXPECT_EQ(order[2], &first_class);
}

TEST(FactoryChain, NodeIsTableNextClassInThreeWords) {
  static_assert(sizeof(service_factory_base) == 3 * sizeof(void*));
  std::uintptr_t third[3], first[3];
  std::memcpy(third, static_cast<service_factory_base*>(&g_third_factory), sizeof third);
  std::memcpy(first, static_cast<service_factory_base*>(&g_first_factory), sizeof first);
  EXPECT_EQ(third[1], reinterpret_cast<std::uintptr_t>(static_cast<service_factory_base*>(&g_second_factory)));
  EXPECT_EQ(third[2], reinterpret_cast<std::uintptr_t>(&third_class));
  EXPECT_EQ(first[1], 0u); // end of the chain
  EXPECT_EQ(first[2], reinterpret_cast<std::uintptr_t>(&first_class));
  // The first word is the operation table, whose one slot is create: call it
  // the way the host does, knowing nothing but the words.
  using create_slot = void(CHIRPLINE_MEMBER_CALL*)(void* self, service_base** out_ref);
  const auto* table = reinterpret_cast<const create_slot*>(third[0]);
  service_base* out = nullptr;
  table[0](&g_third_factory, &out);
  EXPECT_EQ(out, &g_third_factory.instance());
}

TEST(FactoryChain, SingleInstanceFactoryYieldsTheSameUncountedObject) {
  service_base* a = nullptr;
  service_base* b = nullptr;
  g_second_factory.create(a);
  g_second_factory.create(b);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, &g_second_factory.instance());
  EXPECT_EQ(a->release(), 1);
  EXPECT_EQ(a->release(), 1);
  EXPECT_EQ(a->add_ref(), 1);
}

TEST(FactoryChain, CreateReleasesWhatOutRefHeld) {
  bool destroyed = false;
  auto* held = new service_impl_t<counted>(&destroyed);
  held->add_ref();
  service_base* out = held;
  g_first_factory.create(out);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(out, &g_first_factory.instance());
}

// -- host-service lookup --

// The host overwrites a filled slot without releasing it, so a reference the
// component left in a slot would leak; every_slot_was_empty shows it never does.
class Lookup : public ::testing::Test {
protected:
  void SetUp() override {
    host.record_calls = true;
    set_module_host_api(&host);
  }
  void TearDown() override { set_module_host_api(nullptr); }
  fake_host host{fake_host::filled_slot::overwritten};
  event_log log;
  recorder one{"one", &log}, two{"two", &log}, three{"three", &log};
};

TEST_F(Lookup, SingleServiceFound) {
  host.classes = {{other_guid, {&two, &three}}, {recorder_guid, {&one}}};
  service_base* out = nullptr;
  get_single_service(out, recorder_guid);
  EXPECT_EQ(out, &one);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"find 101", "count 101", "create 101 0"}));
  auto typed = get_single_service<recorder>(recorder_guid);
  EXPECT_EQ(typed.get(), &one);
  typed.reset();
  EXPECT_EQ(one.count, 1); // the first lookup's reference is still ours
  out->release();
}

TEST_F(Lookup, NoneIsNotFoundAndTwoIsDuplicated) {
  host.classes = {{recorder_guid, {}}, {other_guid, {&two, &three}}};
  service_base* out = &one;
  try {
    get_single_service(out, recorder_guid);
    FAIL() << "no exception";
  } catch (const exception_service_not_found& e) {
    EXPECT_STREQ(e.what(), "Service not found");
  }
  try {
    get_single_service(out, other_guid);
    FAIL() << "no exception";
  } catch (const exception_service_duplicated& e) {
    EXPECT_STREQ(e.what(), "Service duplicated");
  }
  EXPECT_EQ(out, &one);
  EXPECT_TRUE(log.empty());
  // A class the host never heard of counts as none.
  EXPECT_THROW(get_single_service<recorder>(third_class), exception_service_not_found);
}

TEST_F(Lookup, BeforeTheHostHandsItsDirectoryNothingIsFound) {
  set_module_host_api(nullptr);
  EXPECT_THROW(get_single_service<recorder>(recorder_guid), exception_service_not_found);
  int applied = 0;
  for_each_service(recorder_guid, [&](service_base*) { ++applied; });
  EXPECT_EQ(applied, 0);
}

TEST_F(Lookup, EachServiceInOrderReleasedWhenReplaced) {
  host.classes = {{recorder_guid, {&one, &two, &three}}};
  for_each_service(recorder_guid, [&](service_base* s) {
    log.push_back(s == &one ? "act one" : s == &two ? "act two" : "act three");
  });
  EXPECT_EQ(log, (event_log{"one.add_ref", "act one", "two.add_ref", "one.release", "act two", "three.add_ref",
                            "two.release", "act three", "three.release"}));
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{"find 100", "create 100 0", "create 100 1", "create 100 2", "create 100 3"}));
  EXPECT_TRUE(host.every_slot_was_empty);
  EXPECT_EQ(one.count + two.count + three.count, 0);
}

TEST_F(Lookup, ActionThatThrowsStillReleases) {
  host.classes = {{recorder_guid, {&one, &two, &three}}};
  EXPECT_THROW(for_each_service(recorder_guid,
                                [&](service_base* s) {
                                  if (s == &two) throw std::runtime_error("stop");
                                }),
               std::runtime_error);
  EXPECT_EQ(one.count, 0);
  EXPECT_EQ(two.count, 0);
  EXPECT_EQ(three.count, 0);
  EXPECT_EQ(log.back(), "two.release");
}

} // namespace
