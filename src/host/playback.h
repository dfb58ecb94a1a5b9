// Playback notifications. One object carries both interfaces:
// play_callback_static first, play_callback second.
#pragma once
#include "host/titleformat.h"

// {8E4EED7A-C6B8-49C7-99FE-97E04AAA63A8}
inline constexpr guid play_callback_static_class_guid = {
    0x8E4EED7A, 0xC6B8, 0x49C7, {0x99, 0xFE, 0x97, 0xE0, 0x4A, 0xAA, 0x63, 0xA8}};

constexpr std::uint32_t play_callback_flag_new_track = 2;

class play_callback {
public:
  virtual void on_playback_starting(std::uint32_t command, std::uint32_t paused) = 0;
  // track: one reference, owned by the callee, which releases it.
  virtual void on_new_track(track_handle* track) = 0;
  virtual void on_playback_stop(std::uint32_t reason) = 0;
  virtual void on_seek(double seconds) = 0;
  virtual void on_pause(std::uint32_t paused) = 0;
  // track: one reference, owned by the callee, which releases it.
  virtual void on_track_edited(track_handle* track) = 0;
  virtual void on_dynamic_info(std::uint32_t info) = 0;
  virtual void on_dynamic_info_track(std::uint32_t info) = 0;
  virtual void on_time(double seconds) = 0;
  virtual void on_volume_change(std::uint32_t volume) = 0;

protected:
  ~play_callback() = default;
};

class play_callback_static : public service_base, public play_callback {
public:
  virtual std::uint32_t notification_mask() = 0;
};
