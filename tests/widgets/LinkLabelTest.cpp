#include "widgets/LinkLabel.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace omrek {
namespace {

TEST(LinkLabel, LooksLikeALinkShowsItsAddressAndReportsClicks) {
  QWidget window;
  window.setFont(QFont("Arial"));
  auto* link = new LinkLabel("Read me", &window);
  link->setUrl(QUrl::fromLocalFile("/opt/omrek/README.md"));
  link->adjustSize();
  window.show();

  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->font().family(), "Arial") << "the rest of the font comes from the window";
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link->url(), QUrl::fromLocalFile("/opt/omrek/README.md"));
  EXPECT_EQ(link->toolTip(), "/opt/omrek/README.md");

  QSignalSpy clicks(link, &LinkLabel::clicked);
  QTest::mouseClick(link, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace omrek
