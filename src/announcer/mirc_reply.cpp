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

void report_dropped_block(std::uint32_t number) {
  char digits[64];
  pfc::string8 message("the shared block mIRC");
  message.append_text(pfc::format_decimal(digits, number), pfc::infinite_length);
  message.append_text(" was let go, the oldest of 16 commands mIRC has not answered; that track may be lost",
                      pfc::infinite_length);
  console_error(message.text_ptr());
}

void report_reply(const mirc_reply& reply, bool stalled) {
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
    if (stalled) {
      console_error("mIRC is still busy with an earlier command; this one stays in its shared block should mIRC "
                    "run it late");
      return;
    }
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
  case mirc_reply::kind::gone:
    console_error("the mIRC window closed before it took the command; track not announced");
    return;
  case mirc_reply::kind::failed:
    report_platform_failure("sending the command to mIRC failed", reply.error);
    return;
  }
}
