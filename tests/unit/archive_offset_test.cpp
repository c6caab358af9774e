// The stub's reading of its string 4: which texts name an attached archive.
#include "startup/archive_offset.h"

#include <gtest/gtest.h>

namespace {

using lzh::ArchiveOffsetFromText;

TEST(ArchiveOffset, TakesAWholeDecimalNumberInsideTheFile) {
  EXPECT_EQ(ArchiveOffsetFromText("0000025600", 30000), 25600);
  EXPECT_EQ(ArchiveOffsetFromText("1", 2), 1);
  // The largest offset a signed 32-bit archiveStart holds, in a file whose
  // size only the low 32 bits tell.
  EXPECT_EQ(ArchiveOffsetFromText("2147483647", 0xFFFFFFFFu), 0x7FFFFFFF);
}

TEST(ArchiveOffset, AnythingElseMeansNoArchive) {
  const char* notNumbers[] = {"", "0000000000", " 123", "123 ", "+12", "-12", "12a", "0x10"};
  for (const char* text : notNumbers) EXPECT_EQ(ArchiveOffsetFromText(text, 100000), 0) << text;
  // Too large for 32 bits, signed or not: no wrap-around into the file.
  EXPECT_EQ(ArchiveOffsetFromText("2147483648", 0xFFFFFFFFu), 0);
  EXPECT_EQ(ArchiveOffsetFromText("4294967396", 0xFFFFFFFFu), 0);
  EXPECT_EQ(ArchiveOffsetFromText("99999999999999999999", 0xFFFFFFFFu), 0);
  // At or past the end of the file (a bare stub patched by hand, a cut file).
  EXPECT_EQ(ArchiveOffsetFromText("30000", 30000), 0);
  EXPECT_EQ(ArchiveOffsetFromText("30001", 30000), 0);
}

}  // namespace
