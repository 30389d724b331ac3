// The release file's marker line, the version comparison and the dates.
#include "dialup/update/release_note.h"

#include <gtest/gtest.h>

#include "dialup/update/update_texts.h"

namespace qlm::update {
namespace {

TEST(ReleaseNoteTest, EightFieldsAndTheMessageAfterTheLine) {
  const auto note = FindReleaseNote("junk\n#Quillmar v2.66b beta 14 12/24/2026\nNew!\nMore.");
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->major, 2u);
  EXPECT_EQ(note->minor, 66u);
  EXPECT_EQ(note->letter, 'b');
  EXPECT_EQ(note->word, "beta");
  EXPECT_EQ(note->days, 14);
  EXPECT_EQ(note->month, 12);
  EXPECT_EQ(note->day, 24);
  EXPECT_EQ(note->year, 2026);
  EXPECT_EQ(note->message, "New!\nMore.");
}

TEST(ReleaseNoteTest, WithoutLineFeedTheMessageIsTheWholeFile) {
  const std::string body = "#Quillmar v3.0 release 7 1/2/2027";
  const auto note = FindReleaseNote(body);
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->major, 3u);
  EXPECT_EQ(note->minor, 0u);
  EXPECT_EQ(note->message, body);
}

TEST(ReleaseNoteTest, FirstMarkerCounts) {
  const auto note =
      FindReleaseNote("#Quillmar v2.60 old 1 1/1/2020\nA\n#Quillmar v9.99 new 2 2/2/2030\nB");
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->minor, 60u);
}

TEST(ReleaseNoteTest, SevenFieldsOrNoMarkerParseNothing) {
  EXPECT_FALSE(FindReleaseNote("#Quillmar v2.66 release 30 12/01\nmessage").has_value());
  EXPECT_FALSE(FindReleaseNote("Quillmar v2.66 release 30 12/01/2026\nmessage").has_value());
  EXPECT_FALSE(FindReleaseNote("").has_value());
  EXPECT_FALSE(FindReleaseNote("#Quillmar v").has_value());
}

TEST(ReleaseNoteTest, OnlyAHigherVersionIsNewer) {
  EXPECT_FALSE(IsNewerRelease(2, 64));
  EXPECT_FALSE(IsNewerRelease(2, 65));
  EXPECT_TRUE(IsNewerRelease(2, 66));
  EXPECT_TRUE(IsNewerRelease(3, 0));
  EXPECT_FALSE(IsNewerRelease(1, 99));
}

TEST(ReleaseNoteTest, StoredDateIsMidnightAndMissingFieldsDefault) {
  std::tm date{};
  date.tm_year = 2026 - 1900;
  date.tm_mon = 11;
  date.tm_mday = 8;
  date.tm_isdst = -1;
  EXPECT_EQ(CheckDateFromText("12/08/2026"), std::mktime(&date));
  std::tm fallback{};
  fallback.tm_year = 1999 - 1900;
  fallback.tm_mon = 3;
  fallback.tm_mday = 28;
  fallback.tm_isdst = -1;
  EXPECT_EQ(CheckDateFromText(""), std::mktime(&fallback));
  EXPECT_EQ(CheckDateFromText("garbage"), std::mktime(&fallback));
}

TEST(ReleaseNoteTest, NextDateIsTodayPlusTheDays) {
  std::tm today{};
  today.tm_year = 2026 - 1900;
  today.tm_mon = 11;
  today.tm_mday = 30;
  today.tm_hour = 15;
  today.tm_isdst = -1;
  const std::time_t now = std::mktime(&today);
  EXPECT_EQ(NextCheckDate(now, 0), "12/30/2026");
  EXPECT_EQ(NextCheckDate(now, 3), "01/02/2027");
  EXPECT_EQ(NextCheckDate(now, 30), "01/29/2027");
}

}  // namespace
}  // namespace qlm::update
