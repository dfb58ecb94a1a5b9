// The playback callback: on every new track, render the title with the user's
// pattern, log it, publish it for on-demand use, and when sending is enabled
// announce it in mIRC.
#pragma once
#include "host/playback.h"

class play_callback_mirc : public play_callback_static {
public:
  // Where announcements go; the component uses mIRC, tests a recorder.
  using command_delivery = void (*)(const char* command_text);
  // Where the title goes for on-demand use, announced or not: the component
  // publishes it in its shared block, tests record it. Must not raise.
  using title_publisher = void (*)(const char* command_text) noexcept;

  explicit play_callback_mirc(command_delivery delivery = default_delivery(),
                              title_publisher publisher = default_publisher()) noexcept
      : delivery_(delivery), publisher_(publisher) {}

  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  std::uint32_t notification_mask() override;

  void on_playback_starting(std::uint32_t command, std::uint32_t paused) override;
  void on_new_track(track_handle* track) override;
  void on_playback_stop(std::uint32_t reason) override;
  void on_seek(double seconds) override;
  void on_pause(std::uint32_t paused) override;
  void on_track_edited(track_handle* track) override;
  void on_dynamic_info(std::uint32_t info) override;
  void on_dynamic_info_track(std::uint32_t info) override;
  void on_time(double seconds) override;
  void on_volume_change(std::uint32_t volume) override;

protected:
  ~play_callback_mirc() = default;

private:
  static command_delivery default_delivery() noexcept;
  static title_publisher default_publisher() noexcept;
  command_delivery delivery_;
  title_publisher publisher_;
};
