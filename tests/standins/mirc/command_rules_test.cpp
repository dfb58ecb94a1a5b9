// What the mIRC stand-in makes of a command and how it puts it on the wire:
// mIRC's edit-box rules, IRC's line limit and the flood gate's pace.
#include "command_interpreter.h"
#include "flood_gate.h"
#include "irc_line.h"
#include "irc_outbox.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Sends as "> message", reports as "! text".
std::vector<std::string> run(const std::string& text, unsigned long method = 5) {
  std::vector<std::string> out;
  for (const auto& a : interpret_command(text, method, "#c"))
    out.push_back((a.send ? (a.quit ? "> [quit] " : "> ") : "! ") + a.text);
  return out;
}

TEST(CommandInterpreter, MeBecomesOneActionWithItsTextVerbatim) {
  EXPECT_EQ(run("/me is playing: J\xC3\xB3ga - ?  "),
            std::vector<std::string>{"> PRIVMSG #c :\x01"
                                     "ACTION is playing: J\xC3\xB3ga - ?  \x01"});
  EXPECT_EQ(run("/ME loud"), std::vector<std::string>{"> PRIVMSG #c :\x01"
                                                      "ACTION loud\x01"});
  EXPECT_EQ(run("/!me its own"), std::vector<std::string>{"> PRIVMSG #c :\x01"
                                                          "ACTION its own\x01"});
}

TEST(CommandInterpreter, BarsSeparateCommandsWithOrWithoutBlanksAndSlashes) {
  EXPECT_EQ(run("/me a | /msg #c injected"), (std::vector<std::string>{"> PRIVMSG #c :\x01"
                                                                       "ACTION a\x01",
                                                                       "> PRIVMSG #c :injected"}));
  EXPECT_EQ(run("/me a|say b||  /quit  bye "), (std::vector<std::string>{"> PRIVMSG #c :\x01"
                                                                         "ACTION a\x01",
                                                                         "> PRIVMSG #c :b", "> [quit] QUIT : bye "}));
  EXPECT_EQ(run("/quit"), std::vector<std::string>{"> [quit] QUIT"});
}

TEST(CommandInterpreter, PlainTextAndLinesWithoutASlashAreSaidWhole) {
  EXPECT_EQ(run("/me a | /quit", 6), std::vector<std::string>{"> PRIVMSG #c :/me a | /quit"});
  EXPECT_EQ(run("hello | /quit"), std::vector<std::string>{"> PRIVMSG #c :hello | /quit"});
  EXPECT_TRUE(run("").empty());
}

TEST(CommandInterpreter, UnknownCommandsAndMissingParametersAreReportedNotSent) {
  EXPECT_EQ(run("/raw PRIVMSG #c :x | /echo -a hi"),
            (std::vector<std::string>{"! unknown command /raw: not sent", "! echo: hi"}));
  EXPECT_EQ(run("/msg #c|/me|/say"),
            (std::vector<std::string>{"! /msg: insufficient parameters", "! /me: insufficient parameters",
                                      "! /say: insufficient parameters"}));
  EXPECT_EQ(run("//me $me"), std::vector<std::string>{"! //: evaluating identifiers is not modelled; not run"});
}

TEST(CommandInterpreter, ALineBreakEndsALine) {
  EXPECT_EQ(run("/me a\r\n/quit x\rhi"), (std::vector<std::string>{"> PRIVMSG #c :\x01"
                                                                   "ACTION a\x01",
                                                                   "> [quit] QUIT :x", "> PRIVMSG #c :hi"}));
}

// DLLs that answer from a script of replies and record every call.
struct scripted_dlls final : mirc_dlls {
  std::vector<dll_reply> replies;
  std::vector<std::string> calls;
  dll_reply call(const std::string& file, const std::string& proc, const std::string& data) override {
    calls.push_back(file + "|" + proc + "|" + data);
    const dll_reply next = replies.empty() ? dll_reply{-1, "unable to open " + file} : replies.front();
    if (!replies.empty()) replies.erase(replies.begin());
    return next;
  }
  bool unload(const std::string& file) override { return file == "loaded.dll"; }
  std::vector<std::string> run(const std::string& text) {
    std::vector<std::string> out;
    for (const auto& a : interpret_command(text, 5, "#c", this))
      out.push_back((a.send ? "> " : "! ") + a.text);
    return out;
  }
};

// A "//" line is split at its bars, then each $dll(...) and $null is
// evaluated once: the value is text (bars, identifiers and variables in it
// too). What is not modelled, or a DLL that fails or halts, stops the whole
// line. /dll performs what a procedure returns with 2, unevaluated.
TEST(CommandInterpreter, DllValuesAreInsertedOnceAsTextAndFailuresStopTheLine) {
  scripted_dlls dlls;
  dlls.replies = {{3, "a $me %x | /quit $dll(x,y,z)"}, {3, ""}, {0, ""}, {2, "me did $me"}, {1, "me not run"}};
  EXPECT_EQ(dlls.run("//me is: $dll(chirpline_mirc.dll,title,$null) | /echo -a [$DLL( f.dll , p ,$null d )$null]"),
            (std::vector<std::string>{"> PRIVMSG #c :\x01"
                                      "ACTION is: a $me %x | /quit $dll(x,y,z)\x01",
                                      "! echo: []"}));
  EXPECT_EQ(dlls.run("//me $dll(a,b,c) | /quit"), std::vector<std::string>{"! //: $dll: b halted the script; not run"});
  EXPECT_EQ(dlls.run("/dll my.dll go some data | /dll my.dll one | /dll -u loaded.dll|/dll -u x.dll|/dll x.dll"),
            (std::vector<std::string>{"> PRIVMSG #c :\x01"
                                      "ACTION did $me\x01",
                                      "! dll: unloaded loaded.dll", "! dll: x.dll is not loaded",
                                      "! /dll: insufficient parameters"}));
  for (const char* line : {"//me $me | /quit", "//say %x", "//me $dll(a,b)", "//me $dll(a,b,c", "//me $dll(g,t,) | /q"})
    EXPECT_EQ(dlls.run(line).size(), 1u) << line;
  EXPECT_EQ(dlls.calls, (std::vector<std::string>{"chirpline_mirc.dll|title|", "f.dll|p|d", "a|b|c",
                                                  "my.dll|go|some data", "my.dll|one|", "g|t|"}));
  EXPECT_EQ(run("/me $dll(a,b,c) | /dll my.dll go"), (std::vector<std::string>{"> PRIVMSG #c :\x01"
                                                                               "ACTION $dll(a,b,c)\x01",
                                                                               "! unknown command /dll: not sent"}));
}

TEST(IrcLine, FitsTheRelayedLineAtACharacterBoundary) {
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += "\xE5\xA4\x9C";
  std::string action = "PRIVMSG #chirp :\x01"
                       "ACTION a" +
                       text + "\x01";
  const std::string original = action;
  // ":" + 26-byte prefix + " " + line + CR LF: 482 bytes of line at most.
  ASSERT_TRUE(fit_irc_line(action, 26));
  EXPECT_EQ(action.size(), 482u); // 25 + 456 (152 characters) + 1
  EXPECT_EQ(action.substr(0, 481), original.substr(0, 481));
  EXPECT_EQ(action.back(), '\x01');

  std::string plain = "PRIVMSG #chirp :" + text;
  ASSERT_TRUE(fit_irc_line(plain, 0));
  EXPECT_EQ(plain.size(), 16u + 492u); // 510 bytes allowed, 164 whole characters
  EXPECT_NE(plain.back(), '\x01');

  std::string four = "PRIVMSG #c :";
  for (int i = 0; i < 200; ++i)
    four += "\xF0\x9F\x8E\xB5";
  ASSERT_TRUE(fit_irc_line(four, 0));
  EXPECT_EQ(four.size(), 12u + 496u);

  std::string fits(510, 'x');
  EXPECT_FALSE(fit_irc_line(fits, 0));
  EXPECT_EQ(fits.size(), 510u);
  std::string over(511, 'x');
  EXPECT_TRUE(fit_irc_line(over, 0));
  EXPECT_EQ(over.size(), 510u);
}

TEST(FloodGate, ABurstThenOneLinePerInterval) {
  flood_gate gate(3, 250);
  unsigned long long now = 10000;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(gate.wait_ms(now), 0u) << i;
    gate.take(now);
  }
  EXPECT_EQ(gate.wait_ms(now), 250u);
  now += 250;
  EXPECT_EQ(gate.wait_ms(now), 0u);
  gate.take(now);
  EXPECT_EQ(gate.wait_ms(now + 100), 150u);
  // A quiet spell gives the whole burst back, no more.
  now += 5000;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(gate.wait_ms(now), 0u) << i;
    gate.take(now);
  }
  EXPECT_EQ(gate.wait_ms(now), 250u);
}

// When each line of outbox leaves, on a clock that moves only as far as the
// outbox says the next line must wait: "time message".
std::vector<std::string> departures(irc_outbox& outbox, unsigned long long now) {
  std::vector<std::string> out;
  for (int rounds = 0; !outbox.empty() && rounds < 100; ++rounds) {
    for (outgoing_line line; outbox.take_due(now, line);)
      out.push_back(std::to_string(now) + " " + line.message);
    now += outbox.wait_ms(now);
  }
  return out;
}

TEST(FloodGate, QueuedLinesLeaveInOrderAtThePaceAndNoneIsDropped) {
  irc_outbox outbox(3, 250);
  for (const char* line : {"a", "b", "c", "d", "e", "f"})
    outbox.push({line, true, false});
  EXPECT_EQ(departures(outbox, 1000),
            (std::vector<std::string>{"1000 a", "1000 b", "1000 c", "1250 d", "1500 e", "1750 f"}));
  EXPECT_TRUE(outbox.empty());
}

TEST(FloodGate, UnprotectedLinesTakeNoCreditYetNeverOvertake) {
  irc_outbox outbox(1, 1000);
  outbox.push({"first", true, false});
  outbox.push({"second", true, false});
  outbox.push({"unprotected", false, false});
  outbox.push({"third", true, false});
  const std::vector<std::string> left = departures(outbox, 0);
  EXPECT_EQ(left, (std::vector<std::string>{"0 first", "1000 second", "1000 unprotected", "2000 third"}));
}

TEST(FloodGate, ANewConnectionGetsTheWholeBurstAndLostLinesAreAllReported) {
  irc_outbox outbox(2, 1000);
  for (const char* line : {"a", "b", "c", "d"})
    outbox.push({line, true, false});
  outgoing_line line;
  ASSERT_TRUE(outbox.take_due(0, line));
  ASSERT_TRUE(outbox.take_due(0, line));
  EXPECT_FALSE(outbox.take_due(0, line));
  EXPECT_EQ(outbox.wait_ms(0), 1000u);
  outbox.restart_gate();
  EXPECT_EQ(outbox.wait_ms(0), 0u);
  ASSERT_TRUE(outbox.take_due(0, line));
  EXPECT_EQ(line.message, "c");
  const std::deque<outgoing_line> lost = outbox.take_all();
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost.front().message, "d");
  EXPECT_TRUE(outbox.empty());
}

} // namespace
