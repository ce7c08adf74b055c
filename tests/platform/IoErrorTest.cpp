#include "platform/IoError.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace omrek {
namespace {

TEST(IoError, ErrnoBecomesTheRunTimeText) {
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
}

TEST(IoError, OtherErrnoKeepsItsOwnNumber) {
  // EIO is 5 on Linux, the Windows code for access denied: it must not read
  // as a permissions problem.
  EXPECT_STREQ(IoError::FromErrno(EIO).what(), "I/O error 5");
  EXPECT_EQ(IoError::FromErrno(EIO).Code(), EIO);
  EXPECT_STREQ(IoError::FromErrno(EROFS).what(), "I/O error 30");
}

TEST(IoError, SharingViolationIsWindowsCode32) {
  EXPECT_STREQ(IoError::SharingViolation().what(), "I/O error 32");
  EXPECT_EQ(IoError::SharingViolation().Code(), 32);
}

}  // namespace
}  // namespace omrek
