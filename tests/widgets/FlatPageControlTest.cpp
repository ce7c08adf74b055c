#include "widgets/FlatPageControl.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "widgets/FlatButton.h"

namespace omrek {
namespace {

class PageControl : public ::testing::Test {
 protected:
  PageControl() {
    for (const char* caption : {"One", "Second page", "Three"}) {
      pages_.push_back(new QLabel(caption));
      control_.addPage(caption, pages_.back());
    }
    control_.resize(400, 200);
    control_.show();
  }

  FlatPageControl control_;
  std::vector<QWidget*> pages_;
};

TEST_F(PageControl, TabsRunLeftToRightAboveThePages) {
  ASSERT_EQ(control_.count(), 3);
  EXPECT_EQ(control_.tab(1)->text(), "Second page");
  EXPECT_EQ(control_.page(2), pages_[2]);
  EXPECT_EQ(control_.tab(0)->pos(), QPoint(0, 0));
  for (int i = 1; i < control_.count(); ++i) {
    EXPECT_GT(control_.tab(i)->x(), control_.tab(i - 1)->geometry().right()) << i;
    EXPECT_EQ(control_.tab(i)->y(), 0) << i;
  }
  // A tab is as wide as its caption needs.
  EXPECT_GT(control_.tab(1)->width(), control_.tab(0)->width());
  // The page fills the rest of the control below the tabs.
  const QRect page(pages_[0]->mapTo(&control_, QPoint(0, 0)), pages_[0]->size());
  EXPECT_GT(page.top(), control_.tab(0)->geometry().bottom());
  EXPECT_EQ(page.width(), 400);
  EXPECT_EQ(page.bottom(), 199);
}

TEST_F(PageControl, ClickingATabShowsItsPageAndKeepsTheTabPressedIn) {
  QSignalSpy changes(&control_, &FlatPageControl::currentChanged);
  EXPECT_EQ(control_.currentIndex(), 0);
  EXPECT_TRUE(pages_[0]->isVisible());

  QTest::mouseClick(control_.tab(2), Qt::LeftButton);
  EXPECT_EQ(control_.currentIndex(), 2);
  EXPECT_TRUE(pages_[2]->isVisible());
  EXPECT_FALSE(pages_[0]->isVisible());
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][0].toInt(), 2);

  const FlatButton::Colours plain;
  EXPECT_EQ(control_.tab(2)->currentFace(), plain.pressed);
  EXPECT_EQ(control_.tab(0)->currentFace(), plain.face);

  // Pressing the tab already shown changes nothing.
  QTest::mouseClick(control_.tab(2), Qt::LeftButton);
  EXPECT_EQ(changes.count(), 1);

  control_.setCurrentIndex(1);
  EXPECT_EQ(control_.tab(1)->currentFace(), plain.pressed);
  EXPECT_EQ(control_.tab(2)->currentFace(), plain.face);
  EXPECT_EQ(changes.count(), 2);
}

}  // namespace
}  // namespace omrek
