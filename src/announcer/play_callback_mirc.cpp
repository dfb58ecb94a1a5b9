#include "announcer/play_callback_mirc.h"
#include "announcer/mirc_command.h"
#include "announcer/mirc_delivery.h"
#include "announcer/now_playing_title.h"
#include "runtime/console.h"
#include "runtime/service.h"
#include "settings/cfg_var.h"
#include "support/pfc/string8.h"

play_callback_mirc::command_delivery play_callback_mirc::default_delivery() noexcept { return &deliver_command; }
play_callback_mirc::title_publisher play_callback_mirc::default_publisher() noexcept { return &publish_now_playing; }

bool play_callback_mirc::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid != play_callback_static_class_guid) return false;
  return service_hand_out(this, out_ref);
}

std::uint32_t play_callback_mirc::notification_mask() { return play_callback_flag_new_track; }

void play_callback_mirc::on_new_track(track_handle* track) {
  const auto passed = service_ptr_t<track_handle>::adopt(track);
  const service_ptr_t<track_handle> held = passed; // our own reference for the call
  if (!held) return;

  service_ptr_t<titleformat_script> script;
  {
    const auto compiler = get_single_service<titleformat_compiler>(titleformat_compiler_class_guid);
    compiler->compile_pattern(script.receive(), cfg_title_pattern.text_ptr());
  }

  pfc::string8 title;
  held->render_title(nullptr, title, script.get(), nullptr);
  pfc::string8 command;
  build_command_text(title, command);

  console_info(title.text_ptr(), title.text_length());
  publisher_(command.text_ptr());
  if (cfg_enabled.value != 0) delivery_(command.text_ptr());
}

void play_callback_mirc::on_track_edited(track_handle* track) { service_ptr_t<track_handle>::adopt(track).reset(); }

void play_callback_mirc::on_playback_starting(std::uint32_t, std::uint32_t) {}
void play_callback_mirc::on_playback_stop(std::uint32_t) {}
void play_callback_mirc::on_seek(double) {}
void play_callback_mirc::on_pause(std::uint32_t) {}
void play_callback_mirc::on_dynamic_info(std::uint32_t) {}
void play_callback_mirc::on_dynamic_info_track(std::uint32_t) {}
void play_callback_mirc::on_time(double) {}
void play_callback_mirc::on_volume_change(std::uint32_t) {}
