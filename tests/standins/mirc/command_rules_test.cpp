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
    if (replies.empty()) return {-1, "unable to open " + file};
    dll_reply next = replies.front();
    replies.erase(replies.begin());
    return next;
  }
  bool unload(const std::string& file) override {
    calls.push_back("unload " + file);
    return file == "loaded.dll";
  }
};

std::vector<std::string> run_with(scripted_dlls& dlls, const std::string& text) {
  std::vector<std::string> out;
  for (const auto& a : interpret_command(text, 5, "#c", &dlls))
    out.push_back((a.send ? "> " : "! ") + a.text);
  return out;
}

// A "//" line is split at its bars first, then each $dll(...) and $null is
// evaluated once: the value is text, bars, identifiers and variables in it
// included, and the line runs as a "/" line would.
TEST(CommandInterpreter, DoubleSlashLinesInsertDllValuesOnceAsText) {
  scripted_dlls dlls;
  dlls.replies = {{3, "a $me %x | /quit \xC2\xA6 $dll(x,y,z)"}, {3, "second"}};
  EXPECT_EQ(
      run_with(dlls, "//me is playing: $dll(chirpline_mirc.dll,title,$null) | /ME $DLL( f.dll , p ,$null d )$null"),
      (std::vector<std::string>{"> PRIVMSG #c :\x01"
                                "ACTION is playing: a $me %x | /quit \xC2\xA6 $dll(x,y,z)\x01",
                                "> PRIVMSG #c :\x01"
                                "ACTION second\x01"}));
  EXPECT_EQ(dlls.calls, (std::vector<std::string>{"chirpline_mirc.dll|title|", "f.dll|p|d"}));
  dlls.replies = {{3, ""}, {1, "ignored"}};
  EXPECT_EQ(run_with(dlls, "//echo -a [$dll(a,b,c)] [$dll(a,b,c)]"), std::vector<std::string>{"! echo: [] []"});
  // A single slash evaluates nothing.
  EXPECT_EQ(run_with(dlls, "/me $dll(a,b,c)"), std::vector<std::string>{"> PRIVMSG #c :\x01"
                                                                        "ACTION $dll(a,b,c)\x01"});
  EXPECT_EQ(dlls.calls.size(), 4u);
}

// What the stand-in does not model, or a DLL that fails or halts, stops the
// line before anything of it is sent, the commands after a bar included.
TEST(CommandInterpreter, DoubleSlashLinesThatCannotBeEvaluatedAreNotRun) {
  scripted_dlls dlls;
  for (const char* line : {"//me $me", "//say %x", "//me $dll(a,b)", "//me $dll(a,b,c", "//me $dll(a,b,c) | /quit"})
    EXPECT_EQ(run_with(dlls, line).size(), 1u) << line;
  EXPECT_EQ(run_with(dlls, "//me $me | /quit"),
            std::vector<std::string>{"! //: identifier $me is not modelled; not run"});
  EXPECT_EQ(run_with(dlls, "//me $dll(gone.dll,t,)"),
            std::vector<std::string>{"! //: $dll: unable to open gone.dll; not run"});
  dlls.replies = {{0, ""}};
  EXPECT_EQ(run_with(dlls, "//me $dll(a.dll,stop,) | /quit"),
            std::vector<std::string>{"! //: $dll: stop halted the script; not run"});
  EXPECT_EQ(run("//me $null"), std::vector<std::string>{"! //: evaluating identifiers is not modelled; not run"});
}

// /dll performs the command a procedure returns with 2, as typed and not
// evaluated; /dll -u unloads.
TEST(CommandInterpreter, TheDllCommandRunsWhatTheProcedureReturns) {
  scripted_dlls dlls;
  dlls.replies = {{2, "me did $me"}, {1, "me not run"}, {3, "say not run either"}};
  EXPECT_EQ(run_with(dlls, "/dll my.dll go some data | /dll my.dll one | /dll my.dll three"),
            std::vector<std::string>{"> PRIVMSG #c :\x01"
                                     "ACTION did $me\x01"});
  EXPECT_EQ(run_with(dlls, "/dll -u loaded.dll|/dll -u other.dll|/dll x.dll"),
            (std::vector<std::string>{"! dll: unloaded loaded.dll", "! dll: other.dll is not loaded",
                                      "! /dll: insufficient parameters"}));
  EXPECT_EQ(dlls.calls, (std::vector<std::string>{"my.dll|go|some data", "my.dll|one|", "my.dll|three|",
                                                  "unload loaded.dll", "unload other.dll"}));
  EXPECT_EQ(run("/dll my.dll go"), std::vector<std::string>{"! unknown command /dll: not sent"});
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
