#include "widgets/FlatButton.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace omrek {
namespace {

TEST(FlatButton, CaptionLinesAndFaceFollowTheMouse) {
  FlatButton button({"  Destroy", "Listed Files"});
  FlatButton::Colours colours;
  colours.face = Qt::white;
  colours.hover = Qt::yellow;
  colours.pressed = Qt::green;
  button.setColours(colours);
  button.resize(100, 40);
  button.show();

  EXPECT_EQ(button.captionLines(), QStringList({"  Destroy", "Listed Files"}));
  EXPECT_EQ(button.currentFace(), QColor(Qt::white));
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  EXPECT_EQ(button.currentFace(), QColor(Qt::yellow));
  button.setDown(true);
  EXPECT_EQ(button.currentFace(), QColor(Qt::green));
  button.setDown(false);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_EQ(button.currentFace(), QColor(Qt::white));

  QSignalSpy clicks(&button, &FlatButton::clicked);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace omrek
