// The FTP gateway's text work: path decoding, folder split, escaping, the
// listing lines of the directory page and the text/binary decision.
#include "proxies/http/ftp_gateway_text.h"

#include <gtest/gtest.h>

#include <string>

namespace qlm::http {
namespace {

TEST(FtpGatewayTextTest, ParametersAreDroppedUpToTheNextSlash) {
  EXPECT_EQ(DecodeFtpPath("/pub;type=d/file.txt"), "/pub/file.txt");
  EXPECT_EQ(DecodeFtpPath("/pub/file.txt;type=a"), "/pub/file.txt");
  EXPECT_EQ(DecodeFtpPath("/a;x;y/b;z"), "/a/b");
}

TEST(FtpGatewayTextTest, EscapesAreDecodedInEitherCase) {
  EXPECT_EQ(DecodeFtpPath("/my%20file%2Etxt"), "/my file.txt");
  EXPECT_EQ(DecodeFtpPath("/%3b%3B"), "/;;") << "an escaped ; is a name, not a parameter";
  EXPECT_EQ(DecodeFtpPath("/100%"), "/100%");
  EXPECT_EQ(DecodeFtpPath("/50%zz"), "/50%zz");
}

TEST(FtpGatewayTextTest, EscapesOfLineEndsStayUndecoded) {
  EXPECT_EQ(DecodeFtpPath("/x%0D%0ADELE%20y"), "/x%0D%0ADELE y");
  EXPECT_EQ(DecodeFtpPath("/x%00"), "/x%00");
}

TEST(FtpGatewayTextTest, SplitPathAtTheLastSlash) {
  std::string directory;
  std::string file;
  EXPECT_TRUE(SplitPath("/pub/linux/readme", &directory, &file));
  EXPECT_EQ(directory, "/pub/linux/");
  EXPECT_EQ(file, "readme");
  EXPECT_FALSE(SplitPath("readme", &directory, &file));
  EXPECT_EQ(directory, "");
  EXPECT_EQ(file, "readme");
}

TEST(FtpGatewayTextTest, EscapeUrlReplacesTheTenReservedCharacters) {
  EXPECT_EQ(EscapeURL(";/?:@&=+$,"), "%3B%2F%3F%3A%40%26%3D%2B%24%2C");
  EXPECT_EQ(EscapeURL("a b%c.txt"), "a b%c.txt");
}

TEST(FtpGatewayTextTest, DirectoryEntryBecomesALinkWithTrailingSlash) {
  EXPECT_EQ(FormatListingLine("drwxr-xr-x   2 ftp ftp 4096 Jan 01 00:00 pub\r\n"),
            "drwxr-xr-x   2 ftp ftp 4096 Jan 01 00:00 <A HREF=\"pub/\">pub/</A>\n");
}

TEST(FtpGatewayTextTest, FileNameWithAmpersandAndSemicolonIsEscapedInTheLink) {
  EXPECT_EQ(FormatListingLine("-rw-r--r-- 1 u g 5 Jan 01 00:00 a&b;c.txt\r\n"),
            "-rw-r--r-- 1 u g 5 Jan 01 00:00 <A HREF=\"a%26b%3Bc.txt\">a&amp;b;c.txt</A>\n");
}

TEST(FtpGatewayTextTest, NamesCannotInjectMarkup) {
  EXPECT_EQ(FormatListingLine("-rw-r--r-- 1 u<b> g 5 Jan 01 00:00 <script>\"x\r\n"),
            "-rw-r--r-- 1 u&lt;b&gt; g 5 Jan 01 00:00 "
            "<A HREF=\"&lt;script&gt;&quot;x\">&lt;script&gt;&quot;x</A>\n");
  EXPECT_EQ(PassListingLine("total <3>\r\n"), "total &lt;3&gt;\r\n");
}

TEST(FtpGatewayTextTest, LineWithoutBlankIsDroppedAndOthersAreNotUnixEntries) {
  EXPECT_EQ(FormatListingLine("-nothing\r\n"), "");
  EXPECT_TRUE(IsUnixListingLine("lrwxrwxrwx 1 u g 4 Jan 01 00:00 a -> b"));
  EXPECT_FALSE(IsUnixListingLine("total 12\r\n"));
  EXPECT_FALSE(IsUnixListingLine(""));
}

TEST(FtpGatewayTextTest, TextBlockIsPrintableOrWhiteSpace) {
  const std::string text = "hello,\tworld\r\n";
  EXPECT_EQ(IsTextBlock(text.data(), text.size()), kTextBlock);
  const std::string binary("ab\x01", 3);
  EXPECT_EQ(IsTextBlock(binary.data(), binary.size()), kBinaryBlock);
  const std::string high = "caf\xC3\xA9";
  EXPECT_EQ(IsTextBlock(high.data(), high.size()), kBinaryBlock);
  EXPECT_EQ(IsTextBlock("", 0), kTextBlock);
}

}  // namespace
}  // namespace qlm::http
