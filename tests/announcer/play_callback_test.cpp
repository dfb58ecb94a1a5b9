// The playback callback with its delivery replaced by a recorder: what it
// renders, logs and hands over, and that every host reference it takes goes
// back, also when a failure passes through it to the host.
#include "allocation_probe.h"
#include "announcer/play_callback_mirc.h"
#include "announcer_test_host.h"
#include "runtime/service.h"
#include "support/pfc/exceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::vector<std::string> g_delivered;
bool g_delivery_throws = false;
std::vector<std::string> g_published; // what went to the now-playing block

void record_delivery(const char* command_text) {
  if (g_delivery_throws) throw std::runtime_error("delivery failed");
  g_delivered.emplace_back(command_text);
}

void record_publication(const char* command_text) noexcept { g_published.emplace_back(command_text); }

class PlayCallback : public testing::Test {
protected:
  PlayCallback() {
    g_delivered.clear();
    g_delivery_throws = false;
    g_published.clear();
  }

  // What the host does: one reference for the callee, through the callback's
  // second interface.
  template <typename Track> void notify(Track& track) {
    track->add_ref();
    static_cast<play_callback&>(callback).on_new_track(track.get());
  }

  announcer_test_host host;
  service_impl_single_t<play_callback_mirc> callback{&record_delivery, &record_publication};
};

TEST_F(PlayCallback, AnswersOnlyAsPlayCallbackStaticAndAsksOnlyForNewTracks) {
  service_base* out = nullptr;
  EXPECT_FALSE(callback.query_class(out, titleformat_compiler_class_guid));
  EXPECT_EQ(out, nullptr);
  ASSERT_TRUE(callback.query_class(out, play_callback_static_class_guid));
  EXPECT_EQ(out, static_cast<service_base*>(&callback));
  EXPECT_EQ(callback.notification_mask(), 2u);
}

TEST_F(PlayCallback, AnnouncesTheRenderedTitleAndLogsItWithoutThePrefix) {
  auto track = host.make_track("Windowlicker", "Windowlicker EP");
  notify(track);
  ASSERT_EQ(g_delivered.size(), 1u);
  EXPECT_EQ(g_delivered[0], "/me is playing: Windowlicker - Windowlicker EP");
  EXPECT_EQ(host.lines(), std::vector<std::string>{"Chirpline: Windowlicker - Windowlicker EP"});
}

TEST_F(PlayCallback, LogsButSendsNothingWhenDisabled) {
  cfg_enabled.value = 0;
  auto track = host.make_track("Jóga", "Homogenic");
  notify(track);
  EXPECT_TRUE(g_delivered.empty());
  EXPECT_EQ(host.lines(), std::vector<std::string>{"Chirpline: Jóga - Homogenic"});
  EXPECT_EQ(g_published, std::vector<std::string>{"/me is playing: Jóga - Homogenic"}) << "published all the same";
  cfg_enabled.value = 2; // any non-zero byte means enabled
  notify(track);
  EXPECT_EQ(g_delivered.size(), 1u);
}

TEST_F(PlayCallback, CompilesThePatternAfreshForEveryTrack) {
  auto track = host.make_track("T", "A", "Artist");
  notify(track);
  cfg_title_pattern.assign_text("%ARTIST% / %year%", pfc::infinite_length);
  notify(track);
  EXPECT_EQ(g_delivered, (std::vector<std::string>{"/me is playing: T - A", "/me is playing: Artist / ?"}));
}

// mIRC's formatting codes pass from the pattern's own text and from tags.
TEST_F(PlayCallback, NeutralisesTheCommandButLogsTheTitleAsRendered) {
  cfg_title_pattern.assign_text("\x02%title%\x0F - %album%", pfc::infinite_length);
  auto track = host.make_track("a|b\r\n/quit", "x\ty\x01\x03"
                                               "04");
  notify(track);
  ASSERT_EQ(g_delivered.size(), 1u);
  EXPECT_EQ(g_delivered[0], "/me is playing: \x02"
                            "a\xC2\xA6"
                            "b  /quit\x0F - x y \x03"
                            "04");
  EXPECT_EQ(host.lines(), std::vector<std::string>{"Chirpline: \x02"
                                                   "a|b\r\n/quit\x0F - x\ty\x01\x03"
                                                   "04"});
}

TEST_F(PlayCallback, AnEmptyTitleStillAnnouncesThePrefix) {
  cfg_title_pattern.assign_text("", 0);
  auto track = host.make_track("T", "A");
  notify(track);
  EXPECT_EQ(g_delivered, std::vector<std::string>{"/me is playing: "});
  EXPECT_EQ(host.lines(), std::vector<std::string>{"Chirpline: "});
}

TEST_F(PlayCallback, GivesBackEveryHostReference) {
  auto track = host.make_track("T", "A");
  const auto outstanding = host_references().outstanding();
  const auto alive = host_references().alive.load();
  for (int i = 0; i < 3; ++i)
    notify(track);
  EXPECT_EQ(track->reference_count(), 1);
  EXPECT_EQ(host.compiler->reference_count(), 2); // ours and the registry's
  EXPECT_EQ(host_references().outstanding(), outstanding);
  EXPECT_EQ(host_references().alive.load(), alive); // every compiled script is gone
}

TEST_F(PlayCallback, TrackEditedReleasesItsReferenceExactlyOnce) {
  auto track = host.make_track("T", "A");
  track->add_ref();
  track->add_ref();
  static_cast<play_callback&>(callback).on_track_edited(track.get());
  EXPECT_EQ(track->reference_count(), 2);
  EXPECT_TRUE(g_delivered.empty());
  EXPECT_TRUE(host.lines().empty());
  track->release();
}

TEST_F(PlayCallback, TheOtherNotificationsDoNothing) {
  play_callback& cb = callback;
  cb.on_playback_starting(1, 0);
  cb.on_playback_stop(2);
  cb.on_seek(1.5);
  cb.on_pause(1);
  cb.on_dynamic_info(0);
  cb.on_dynamic_info_track(0);
  cb.on_time(3.0);
  cb.on_volume_change(50);
  EXPECT_TRUE(g_delivered.empty());
  EXPECT_TRUE(host.lines().empty());
}

TEST_F(PlayCallback, CompilerLookupFailuresReachTheHostAndReleaseTheTrack) {
  auto track = host.make_track("T", "A");
  const auto outstanding = host_references().outstanding();
  host.registry.remove_all(titleformat_compiler_class_guid);
  try {
    notify(track);
    FAIL() << "no exception";
  } catch (const exception_service_not_found& e) {
    EXPECT_STREQ(e.what(), "Service not found");
  }
  host.registry.add(titleformat_compiler_class_guid, host.compiler.get());
  host.registry.add(titleformat_compiler_class_guid, host.compiler.get());
  try {
    notify(track);
    FAIL() << "no exception";
  } catch (const exception_service_duplicated& e) {
    EXPECT_STREQ(e.what(), "Service duplicated");
  }
  host.registry.remove_all(titleformat_compiler_class_guid);
  EXPECT_EQ(track->reference_count(), 1);
  EXPECT_EQ(host_references().outstanding(), outstanding - 1); // the registry's own reference
  EXPECT_TRUE(g_delivered.empty());
  EXPECT_TRUE(host.lines().empty());
}

TEST_F(PlayCallback, FailuresAfterTheLookupStillReleaseEverything) {
  auto track = host.make_track("T", "A");
  const auto outstanding = host_references().outstanding();
  const auto alive = host_references().alive.load();

  g_delivery_throws = true;
  EXPECT_THROW(notify(track), std::runtime_error);
  g_delivery_throws = false;

  pfc::set_allocation_hook([](std::size_t, void*) { return false; }, nullptr);
  EXPECT_THROW(notify(track), std::bad_alloc);
  pfc::set_allocation_hook(nullptr, nullptr);

  EXPECT_EQ(host_references().outstanding(), outstanding);
  EXPECT_EQ(host_references().alive.load(), alive);
  EXPECT_EQ(track->reference_count(), 1);
}

// Every allocation the component makes for one announcement: the rendered
// title, the command and the console line, one each.
TEST_F(PlayCallback, AllocatesThreeBlocksPerAnnouncement) {
  auto track = host.make_track("A title long enough to need growing", "and an album of some length too");
  notify(track); // warm the host's and the test's own containers
  allocation_probe probe;
  notify(track);
  EXPECT_EQ(probe.requests(), 3u);
}

// Each allocation of one announcement refused in turn: either the host gets
// "bad allocation" and nothing was handed over, or the command went out whole
// and nothing was raised; every host reference goes back either way.
TEST_F(PlayCallback, EachRefusedAllocationSendsNothingAndReleasesEverything) {
  auto track = host.make_track("A title", "An album");
  const auto outstanding = host_references().outstanding();
  unsigned k = 1;
  for (;; ++k) {
    ASSERT_LT(k, 10u) << "the announcement never completed";
    g_delivered.clear();
    bool threw = false;
    {
      const allocation_probe probe(k);
      try {
        notify(track);
      } catch (const std::bad_alloc& e) {
        threw = true;
        EXPECT_STREQ(e.what(), "bad allocation");
      }
    }
    EXPECT_EQ(host_references().outstanding(), outstanding) << k;
    EXPECT_EQ(track->reference_count(), 1) << k;
    if (!threw) break;
    EXPECT_TRUE(g_delivered.empty()) << k;
  }
  EXPECT_EQ(g_delivered, std::vector<std::string>{"/me is playing: A title - An album"});
  EXPECT_GE(k, 4u) << "title, command and console line each refused once";
}

TEST_F(PlayCallback, WithoutConsoleServicesStillAnnounces) {
  set_services_ready(false);
  auto track = host.make_track("T", "A");
  notify(track);
  EXPECT_EQ(g_delivered.size(), 1u);
  EXPECT_TRUE(host.lines().empty());
}

} // namespace
