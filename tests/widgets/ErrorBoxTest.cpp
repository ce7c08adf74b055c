#include "widgets/ErrorBox.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/ModalBoxCatcher.h"

namespace omrek {
namespace {

TEST(ErrorBoxText, FullStopOnlyAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(ErrorBoxText("File access denied"), "File access denied.");
  EXPECT_EQ(ErrorBoxText("I/O error 32"), "I/O error 32.");
  EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!");
  EXPECT_EQ(ErrorBoxText("Failed (C:)"), "Failed (C:)");
  EXPECT_EQ(ErrorBoxText("Done."), "Done.");
  EXPECT_EQ(ErrorBoxText("path/"), "path/.");
  EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(RunGuarded, AnEscapingErrorIsShownAndTheProgramGoesOn) {
  test::ModalBoxCatcher catcher;
  bool after = false;
  RunGuarded([] { throw std::runtime_error("Unable to write to settings"); });
  after = true;

  ASSERT_EQ(catcher.Boxes().size(), 1u);
  EXPECT_EQ(catcher.Boxes()[0].title, "Omrek, Filebane");
  EXPECT_EQ(catcher.Boxes()[0].text, "Unable to write to settings.");
  EXPECT_EQ(catcher.Boxes()[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(after);
}

}  // namespace
}  // namespace omrek
