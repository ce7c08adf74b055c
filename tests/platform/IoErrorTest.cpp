#include "platform/IoError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace omrek {
namespace {

bool InTable(int err) {
  const auto table = ErrnoCodes();
  return std::any_of(table.begin(), table.end(), [err](const ErrnoCode& entry) { return entry.err == err; });
}

class ErrnoWithWindowsCode : public ::testing::TestWithParam<ErrnoCode> {};

TEST_P(ErrnoWithWindowsCode, ReadsAsTheRunTimeTextOfItsCode) {
  const auto [err, code] = GetParam();
  const IoError error = IoError::FromErrno(err);
  EXPECT_EQ(error.Code(), code);
  EXPECT_EQ(error.what(), IoErrorText(code));
  EXPECT_NE(error.what(), "I/O error " + std::to_string(code)) << "the table names a code without a text of its own";
  EXPECT_EQ(error.DiskFull(), std::string(error.what()) == "Disk full");
}

INSTANTIATE_TEST_SUITE_P(Table, ErrnoWithWindowsCode, ::testing::ValuesIn(ErrnoCodes().begin(), ErrnoCodes().end()),
                         [](const ::testing::TestParamInfo<ErrnoCode>& info) {
                           return std::string(::strerrorname_np(info.param.err));
                         });

TEST(IoError, TheTableHoldsEachErrnoOnceAndTheFailuresTheProgramTellsApart) {
  std::set<int> seen;
  for (const ErrnoCode& entry : ErrnoCodes()) EXPECT_TRUE(seen.insert(entry.err).second) << entry.err;
  EXPECT_STREQ(IoError::FromErrno(ENOENT).what(), "File not found");
  EXPECT_STREQ(IoError::FromErrno(EACCES).what(), "File access denied");
  EXPECT_STREQ(IoError::FromErrno(EPERM).what(), "File access denied");
  EXPECT_STREQ(IoError::FromErrno(ENOSPC).what(), "Disk full");
  EXPECT_STREQ(IoError::FromErrno(EDQUOT).what(), "Disk full");
  EXPECT_STREQ(IoError::FromErrno(EMFILE).what(), "Too many open files");
  EXPECT_STREQ(IoError::FromErrno(ENFILE).what(), "Too many open files");
  EXPECT_STREQ(IoError::FromErrno(ENAMETOOLONG).what(), "Invalid filename");
  EXPECT_EQ(IoError::FromErrno(ENOENT).Code(), 2);
  EXPECT_EQ(IoError::FromErrno(EACCES).Code(), 5);
  EXPECT_EQ(IoError::FromErrno(ENOSPC).Code(), 101);
  EXPECT_TRUE(IoError::FromErrno(ENOSPC).DiskFull());
  EXPECT_TRUE(IoError::FromErrno(EDQUOT).DiskFull());
}

TEST(IoError, OtherErrnoKeepsItsOwnNumber) {
  // EIO is 5 on Linux, the Windows code for access denied: it must not read
  // as a permissions problem.
  EXPECT_STREQ(IoError::FromErrno(EIO).what(), "I/O error 5");
  EXPECT_EQ(IoError::FromErrno(EIO).Code(), EIO);
  for (int err = 1; err <= EHWPOISON; ++err) {
    if (InTable(err) || err == EROFS) continue;
    const IoError error = IoError::FromErrno(err);
    EXPECT_EQ(error.Code(), err);
    EXPECT_EQ(error.what(), "I/O error " + std::to_string(err));
    EXPECT_FALSE(error.DiskFull()) << err;
  }
}

// The run-time has no text for these: they are said in words.
TEST(IoError, SharingViolationIsWindowsCode32AndAReadOnlyFileSystemIsSaid) {
  EXPECT_STREQ(IoError::SharingViolation().what(), "the file is in use by another writer");
  EXPECT_EQ(IoError::SharingViolation().Code(), 32);
  EXPECT_STREQ(IoError::FromErrno(EROFS).what(), "the file system is read-only");
  EXPECT_EQ(IoError::FromErrno(EROFS).Code(), EROFS);
  EXPECT_FALSE(IoError::FromErrno(EROFS).DiskFull());
}

}  // namespace
}  // namespace omrek
