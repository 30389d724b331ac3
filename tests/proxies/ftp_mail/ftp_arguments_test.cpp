// PORT and PASV numbers, USER user@host, command names and the string table.
#include "proxies/ftp_mail/ftp_arguments.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::ftp {
namespace {

std::string Dotted(in_addr address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof(text));
  return text;
}

TEST(FtpArgumentsTest, PasvNumbersGiveAddressAndPort) {
  const auto part = ParenthesisedPart("227 Entering Passive Mode (10,0,0,5,4,1).\r\n");
  ASSERT_TRUE(part);
  const auto named = ParseHostPort(*part);
  ASSERT_TRUE(named);
  EXPECT_EQ(Dotted(named->address), "10.0.0.5");
  EXPECT_EQ(named->port, 1025);
}

TEST(FtpArgumentsTest, PortArgumentReadsLikeScanf) {
  const auto named = ParseHostPort(" 192,168,1,10,19,137 trailing");
  ASSERT_TRUE(named);
  EXPECT_EQ(Dotted(named->address), "192.168.1.10");
  EXPECT_EQ(named->port, 5001);
  EXPECT_TRUE(ParseHostPort("+1, 2, 3, 4, 5, 6"));
}

TEST(FtpArgumentsTest, NumberAbove255OrBelow0OrMissingIsRefused) {
  EXPECT_FALSE(ParseHostPort(" 10,0,0,300,4,1"));
  EXPECT_FALSE(ParseHostPort(" 10,0,0,5,4,256"));
  EXPECT_FALSE(ParseHostPort(" 10,0,0,5,-1,1"));
  EXPECT_FALSE(ParseHostPort(" 10,0,0,5,4"));
  EXPECT_FALSE(ParseHostPort(" 10,0,0,5,4,"));
  EXPECT_FALSE(ParseHostPort(" 10;0,0,5,4,1"));
  EXPECT_FALSE(ParseHostPort(" 99999999999999999999,0,0,5,4,1"));
  EXPECT_FALSE(ParseHostPort(""));
}

TEST(FtpArgumentsTest, ParenthesisedPartNeedsBothInOrder) {
  EXPECT_FALSE(ParenthesisedPart("227 no numbers"));
  EXPECT_FALSE(ParenthesisedPart("227 )1,2,3,4,5,6("));
  EXPECT_EQ(*ParenthesisedPart("227 (1,2)(3)"), "1,2");
}

TEST(FtpArgumentsTest, UserAtHostSplitsAtTheFirstAt) {
  const auto named = SplitUserAtHost("USER   alice@ftp.example.org");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->user, "alice");
  EXPECT_EQ(named->host, "ftp.example.org");
}

TEST(FtpArgumentsTest, UserWithoutAtOrEmptyPartIsRefused) {
  EXPECT_FALSE(SplitUserAtHost("USER alice"));
  EXPECT_FALSE(SplitUserAtHost("USER @host"));
  EXPECT_FALSE(SplitUserAtHost("USER    @host"));
  EXPECT_FALSE(SplitUserAtHost("USER alice@"));
  EXPECT_FALSE(SplitUserAtHost("USER"));
  EXPECT_FALSE(SplitUserAtHost("USE@x"));
}

TEST(FtpArgumentsTest, CommandsMatchByFourLettersOrWhole) {
  EXPECT_TRUE(CommandStartsWith("pAsV", "pasv"));
  EXPECT_TRUE(CommandStartsWith("PORT 1,2,3,4,5,6", "port"));
  EXPECT_FALSE(CommandStartsWith("POR", "port"));
  EXPECT_TRUE(CommandIs("QUIT", "quit"));
  EXPECT_FALSE(CommandIs("QUIT now", "quit"));
}

TEST(FtpArgumentsTest, PortCommandIsFormattedFromAddressAndPort) {
  in_addr address{};
  inet_pton(AF_INET, "127.0.0.1", &address);
  EXPECT_EQ(FormatPortCommand(address, 5001), "PORT 127,0,0,1,19,137");
}

TEST(FtpWireTest, StringTableTextsAreExact) {
  EXPECT_STREQ(ReplyText(61219),
               "220 OK Connect to proxy server. Log in to remote server by  USER "
               "remote_user_id@remote_server_ip_address");
  EXPECT_STREQ(ReplyText(61221), "200 Proxy OK. Remote server off line.");
  EXPECT_STREQ(ReplyText(61223), "221 GoodBye From Proxy");
  EXPECT_STREQ(ReplyText(61225), "421 FTP Proxy Time out. Please login again.");
  EXPECT_STREQ(ReplyText(61226), "451 Request action fails, local error in processing.");
  EXPECT_STREQ(ReplyText(61227), "USER %s");
  EXPECT_STREQ(ReplyText(61228), "501 Syntax error in parameters or arguments");
  EXPECT_STREQ(ReplyText(61229), "550 Offline, action unavailable");
  EXPECT_STREQ(ReplyText(61279), "502 Command not implemented");
  EXPECT_STREQ(ReplyText(61284), "421 hit maximum connections. Please come back later.");
  EXPECT_EQ(ReplyText(1), nullptr);
}

}  // namespace
}  // namespace qlm::ftp
