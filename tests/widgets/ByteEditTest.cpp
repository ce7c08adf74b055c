#include "widgets/ByteEdit.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

namespace omrek {
namespace {

TEST(ByteEdit, TypingGivesUpperCaseAndAtMostTwoCharacters) {
  ByteEdit edit;
  QTest::keyClicks(&edit, "fe");
  EXPECT_EQ(edit.text(), "FE");
  QTest::keyClicks(&edit, "1");
  EXPECT_EQ(edit.text(), "FE") << "a third character is refused";

  edit.clear();
  QGuiApplication::clipboard()->setText("0a");
  edit.paste();
  EXPECT_EQ(edit.text(), "0A") << "pasted letters too";
}

TEST(ByteEdit, TextFromTheProgramKeepsItsCaseAndIsCutToTwo) {
  ByteEdit edit;
  edit.setText("fe");
  EXPECT_EQ(edit.text(), "fe");
  edit.setText("abc");
  EXPECT_EQ(edit.text(), "ab");
  edit.setText("G!");
  EXPECT_EQ(edit.text(), "G!") << "the digits are not checked";
}

}  // namespace
}  // namespace omrek
