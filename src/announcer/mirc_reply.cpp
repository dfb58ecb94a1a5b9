#include "announcer/mirc_reply.h"

#include "runtime/console.h"
#include "support/exception_win32.h"
#include "support/pfc/string8.h"

void report_platform_failure(const char* what, std::uint32_t code, const char* after) {
  const exception_win32 failure(code);
  char digits[64];
  pfc::string8 message(what);
  message.append_text(": ", pfc::infinite_length);
  message.append_text(failure.what(), pfc::infinite_length);
  message.append_text(" (system error ", pfc::infinite_length);
  message.append_text(pfc::format_decimal(digits, code), pfc::infinite_length);
  message.append_text(")", pfc::infinite_length);
  message.append_text(after, pfc::infinite_length);
  console_error(message.text_ptr());
}

void report_unanswered(const mirc_reply& reply, bool target) {
  switch (reply.what) {
  case mirc_reply::kind::answered:
  case mirc_reply::kind::timed_out:
    console_error(target ? "mIRC is still busy with an earlier command; track not announced"
                         : "another mIRC is still busy with an earlier command; track not announced");
    return;
  case mirc_reply::kind::hung:
    console_error(target ? "mIRC is not responding; track not announced"
                         : "another mIRC is not responding; track not announced");
    return;
  case mirc_reply::kind::failed:
    report_platform_failure(target ? "asking mIRC whether it has caught up failed"
                                   : "asking another mIRC whether it has caught up failed",
                            reply.error, "; track not announced");
    return;
  }
}

void report_reply(const mirc_reply& reply) {
  switch (reply.what) {
  case mirc_reply::kind::answered:
    if (reply.answer != 0) {
      // A finished text that needs no memory of ours; whatever a console
      // raises is dropped, for the track was announced.
      try {
        console_print("Chirpline: Successful");
      } catch (...) {
      }
      return;
    }
    // A 0 may also follow a command that ran in part (a script error), so it
    // is reported, never sent again: a second send could announce twice.
    console_error("mIRC refused the command (its SendMessage interface may be off, or Corvane runs as "
                  "administrator and mIRC does not); track not announced");
    return;
  case mirc_reply::kind::timed_out: {
    char digits[64];
    pfc::string8 message("mIRC did not answer within ");
    message.append_text(pfc::format_decimal(digits, mirc_answer_timeout_ms), pfc::infinite_length);
    message.append_text(" ms; the command stays in its shared block should mIRC run it late", pfc::infinite_length);
    console_error(message.text_ptr());
    return;
  }
  case mirc_reply::kind::hung:
    console_error("mIRC is not responding; track not announced");
    return;
  case mirc_reply::kind::failed:
    report_platform_failure("sending the command to mIRC failed", reply.error);
    return;
  }
}
