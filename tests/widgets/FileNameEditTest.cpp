#include "widgets/FileNameEdit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QTest>

#include "tests/support/FileDialogAnswer.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

TEST(FileNameEdit, TheFolderButtonPicksAFileInTheFolderOfTheText) {
  test::TempDir folder;
  const QString first = QString::fromStdString(test::WriteFile(folder.File("first.wav"), "RIFF"));
  const QString second = QString::fromStdString(test::WriteFile(folder.File("second.wav"), "RIFF"));
  FileNameEdit edit("*.wav");
  edit.setText(first);

  test::FileDialogAnswer choose([&](QFileDialog& dialog) {
    test::TypeNameAndAccept(dialog, "second.wav");
    EXPECT_EQ(dialog.selectedFiles(), QStringList{second});
  });
  edit.browseAction()->trigger();
  EXPECT_EQ(choose.directory, QString::fromStdString(folder.Path()));
  ASSERT_FALSE(choose.filters.isEmpty());
  EXPECT_EQ(choose.filters.first(), "*.wav");
  EXPECT_EQ(edit.text(), second);

  test::FileDialogAnswer cancel([](QFileDialog& dialog) { dialog.reject(); });
  edit.browseAction()->trigger();
  EXPECT_EQ(edit.text(), second) << "cancelling keeps the text";
}

}  // namespace
}  // namespace omrek
