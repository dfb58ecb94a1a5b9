// What the mIRC stand-in's IRC client reads from the server and how it
// answers: server lines gathered and taken apart, registration (nickname in
// use, the echo of its own JOIN, PING) and the wait before it connects again.
#include "irc_inbox.h"
#include "irc_message.h"
#include "irc_registration.h"
#include "reconnect_backoff.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using params = std::vector<std::string>;

TEST(IrcMessage, PingWithItsTokenTrailingOrNot) {
  const irc_message trailing = parse_irc_message("PING :irc.example.net\r\n");
  EXPECT_EQ(trailing.prefix, "");
  EXPECT_EQ(trailing.command, "PING");
  EXPECT_EQ(trailing.params, params{"irc.example.net"});
  EXPECT_EQ(parse_irc_message("PING irc.example.net").params, params{"irc.example.net"});
}

TEST(IrcMessage, NumericRepliesKeepPrefixMiddleAndTrailingParameters) {
  const irc_message taken = parse_irc_message(":irc.local 433 * chirp :Nickname already in use\r\n");
  EXPECT_EQ(taken.prefix, "irc.local");
  EXPECT_EQ(taken.command, "433");
  EXPECT_EQ(taken.params, (params{"*", "chirp", "Nickname already in use"}));
  const irc_message welcome = parse_irc_message(":irc.local 001 chirp :Welcome chirp!~chirpline@localhost");
  EXPECT_EQ(welcome.command, "001");
  EXPECT_EQ(welcome.params, (params{"chirp", "Welcome chirp!~chirpline@localhost"}));
}

TEST(IrcMessage, JoinEchoWithOrWithoutAColon) {
  for (const char* line : {":chirp!~chirpline@localhost JOIN :#chirp", ":chirp!~chirpline@localhost JOIN #chirp"}) {
    const irc_message echo = parse_irc_message(line);
    EXPECT_EQ(echo.prefix, "chirp!~chirpline@localhost") << line;
    EXPECT_EQ(echo.command, "JOIN") << line;
    EXPECT_EQ(echo.params, params{"#chirp"}) << line;
  }
}

TEST(IrcMessage, OnlyTheFirstBlankColonStartsTheTrailingParameter) {
  const irc_message m = parse_irc_message(":n!u@h  PRIVMSG   #c  :a :b  c \r\n");
  EXPECT_EQ(m.command, "PRIVMSG");
  EXPECT_EQ(m.params, (params{"#c", "a :b  c "})) << "blanks inside the trailing parameter are kept";
  EXPECT_EQ(parse_irc_message("MODE #c +o:x").params, (params{"#c", "+o:x"})) << "a colon inside a word is no start";
  EXPECT_EQ(parse_irc_message("TOPIC #c :").params, (params{"#c", ""})) << "an empty trailing parameter is one";
}

TEST(IrcMessage, LineEndsAreOptionalAndLengthIsNotLimited) {
  const irc_message with = parse_irc_message(":s NOTICE * :hi\r\n");
  for (const char* line : {":s NOTICE * :hi", ":s NOTICE * :hi\n"}) {
    const irc_message without = parse_irc_message(line);
    EXPECT_EQ(without.params, with.params) << line;
    EXPECT_EQ(without.command, with.command) << line;
  }
  const std::string text(1500, 'x');
  const irc_message overlong = parse_irc_message(":s PRIVMSG #c :" + text + "\r\n");
  ASSERT_EQ(overlong.params.size(), 2u);
  EXPECT_EQ(overlong.params[1], text);
  EXPECT_EQ(parse_irc_message(":lonely.prefix").command, "");
  EXPECT_EQ(parse_irc_message("").command, "");
}

TEST(IrcInbox, WholeLinesOnlyWhateverTheChunks) {
  irc_inbox inbox;
  std::string line;
  inbox.append("PING :a\r\nPI", 11);
  ASSERT_TRUE(inbox.next_line(line));
  EXPECT_EQ(line, "PING :a");
  EXPECT_FALSE(inbox.next_line(line)) << "a line without its end waits";
  inbox.append("NG :b\n\r\n", 8);
  ASSERT_TRUE(inbox.next_line(line));
  EXPECT_EQ(line, "PING :b") << "a bare LF ends a line too";
  ASSERT_TRUE(inbox.next_line(line));
  EXPECT_EQ(line, "");
  const std::string long_line(3000, 'y');
  inbox.append(long_line.data(), 2000);
  EXPECT_FALSE(inbox.next_line(line));
  inbox.append(long_line.data() + 2000, 1000);
  inbox.append("\r\n", 2);
  ASSERT_TRUE(inbox.next_line(line));
  EXPECT_EQ(line, long_line);
}

// The registration's steps as text: "> line" sent, "! text" reported, "joined".
std::vector<std::string> steps(irc_registration& registration, const char* line) {
  std::vector<std::string> out;
  for (const irc_step& s : registration.answer(parse_irc_message(line)))
    out.push_back(s.what == irc_step::kind::send     ? "> " + s.text
                  : s.what == irc_step::kind::report ? "! " + s.text
                                                     : "joined");
  return out;
}

using lines = std::vector<std::string>;

TEST(IrcRegistration, NickInUseUntilItsOwnJoinComesBack) {
  irc_registration registration("chirp", "#chirp");
  EXPECT_EQ(registration.opening_lines(), (lines{"NICK chirp", "USER chirpline 0 * :mIRC stand-in"}));
  EXPECT_EQ(steps(registration, ":irc.local 433 * chirp :Nickname already in use"),
            (lines{"! nick taken; trying chirp_", "> NICK chirp_"}));
  EXPECT_EQ(steps(registration, ":irc.local 433 * chirp_ :Nickname already in use"),
            (lines{"! nick taken; trying chirp__", "> NICK chirp__"}));
  EXPECT_EQ(steps(registration, ":irc.local 001 chirp__ :Welcome"), lines{"> JOIN #chirp"});
  // Someone else joining, or a name that only starts like ours, is not our echo.
  EXPECT_EQ(steps(registration, ":chirp!~x@elsewhere JOIN #chirp"), lines{});
  EXPECT_EQ(steps(registration, ":chirp__x!~x@elsewhere JOIN #chirp"), lines{});
  EXPECT_EQ(steps(registration, ":chirp__ JOIN #chirp"), lines{}) << "no user@host: a server's name";
  EXPECT_FALSE(registration.joined());
  EXPECT_EQ(steps(registration, ":chirp__!~chirpline@localhost JOIN :#chirp"),
            (lines{"joined", "! joined #chirp as chirp__"}));
  EXPECT_TRUE(registration.joined());
  EXPECT_EQ(registration.relay_prefix(), "chirp__!~chirpline@localhost");
  EXPECT_EQ(steps(registration, ":irc.local 433 * x :Nickname already in use"), lines{}) << "joined: nothing to retry";
  EXPECT_EQ(registration.nick(), "chirp__");
}

TEST(IrcRegistration, PingIsAnsweredWithItsTokenAndErrorsAreTold) {
  irc_registration registration("chirp", "#chirp");
  EXPECT_EQ(steps(registration, "PING :irc.local"), (lines{"> PONG :irc.local", "! answered PING"}));
  EXPECT_EQ(steps(registration, "PING LAG1234"), (lines{"> PONG :LAG1234", "! answered PING"}));
  EXPECT_EQ(steps(registration, "ERROR :Closing connection"), lines{"! server says: Closing connection"});
  EXPECT_EQ(steps(registration, ":irc.local NOTICE * :*** Looking up your hostname"), lines{});
}

TEST(ReconnectBackoff, DoublesUpToTheLongestAndStartsAgainAfterAJoin) {
  reconnect_backoff backoff(200, 800);
  std::vector<unsigned long> waits;
  for (int i = 0; i < 5; ++i)
    waits.push_back(backoff.next_wait_ms(false));
  EXPECT_EQ(waits, (std::vector<unsigned long>{200, 400, 800, 800, 800}));
  EXPECT_EQ(backoff.next_wait_ms(true), 200u);
  EXPECT_EQ(backoff.next_wait_ms(false), 400u);
}

TEST(ReconnectBackoff, ALongestWaitNearTheTypesEndDoesNotWrap) {
  reconnect_backoff backoff(ULONG_MAX / 2 + 1, ULONG_MAX);
  EXPECT_EQ(backoff.next_wait_ms(false), ULONG_MAX / 2 + 1);
  EXPECT_EQ(backoff.next_wait_ms(false), ULONG_MAX);
  EXPECT_EQ(backoff.next_wait_ms(false), ULONG_MAX);
}

} // namespace
