#include "app/CoolForm.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTest>
#include <QWindow>

#include "app/OmrekProgram.h"
#include "tests/support/Child.h"
#include "widgets/FlatButton.h"

namespace omrek {
namespace {

using test::Child;

const QColor kWhite(255, 255, 255);
const QColor kTeal(0, 183, 183);
const QColor kLight(0, 204, 204);
const QColor kShadow(0, 110, 110);

// A point of the skin that no control covers.
const QPoint kBareSkin(400, 50);

QByteArray ShippedOutline() {
  QFile file(":/skin/Mask2.bin");
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return file.readAll();
}

void ReadInto(TCoolForm& skin, const QByteArray& value) {
  QBuffer buffer;
  buffer.setData(value);
  buffer.open(QIODevice::ReadOnly);
  skin.ReadMask(buffer);
}

class MainWindowSkin : public ::testing::Test {
 protected:
  MainWindowSkin() {
    program_.Start();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  }

  TfrmMain& Main() { return program_.Main(); }
  TCoolForm& Skin() { return Child<TCoolForm>(Main(), "CoolForm1"); }
  QWindow* Window() { return Main().windowHandle(); }

  // Presses a button at a point of the window, moves the mouse by the given
  // distance and lets go; returns how far the window went.
  QPoint Drag(Qt::MouseButton button, QPoint from, QPoint by) {
    const QPoint start = Main().pos();
    QTest::mousePress(Window(), button, {}, from);
    QTest::mouseMove(Window(), from + by);
    // The mouse is let go where it is, which lies elsewhere in the window
    // if the window went along with it.
    const QPoint moved = Main().pos() - start;
    QTest::mouseRelease(Window(), button, {}, from + by - moved);
    return moved;
  }

  OmrekProgram program_;
};

TEST_F(MainWindowSkin, LiesBeneathEveryControlAndCoversTheWindow) {
  TCoolForm* skin = &Skin();
  EXPECT_EQ(skin->geometry(), QRect(0, 0, 720, 466));
  EXPECT_EQ(Main().childAt(kBareSkin), skin);
  for (QWidget* control : Main().findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (control == skin || control->isHidden()) continue;
    EXPECT_NE(Main().childAt(control->geometry().center()), skin) << control->objectName().toStdString();
  }
  EXPECT_TRUE(Main().windowFlags().testFlag(Qt::FramelessWindowHint));
}

TEST_F(MainWindowSkin, WindowIsCutToTheStoredOutline) {
  const QRegion shape = Main().mask();
  ASSERT_TRUE(Skin().Mask().Region);
  EXPECT_EQ(shape, *Skin().Mask().Region);
  EXPECT_EQ(shape.boundingRect(), QRect(QPoint(9, 5), QPoint(716, 464)));
  EXPECT_FALSE(shape.contains(QPoint(0, 0)));
  EXPECT_FALSE(shape.contains(QPoint(715, 460)));
  EXPECT_TRUE(shape.contains(kBareSkin));

  QBuffer written;
  written.open(QIODevice::WriteOnly);
  Skin().WriteMask(written);
  EXPECT_EQ(written.data(), ShippedOutline());
}

TEST_F(MainWindowSkin, PaintsTheTealPlateWithItsBevelUnderTheControls) {
  const QImage picture = Skin().Picture().toImage();
  ASSERT_EQ(picture.size(), QSize(724, 468));
  EXPECT_EQ(picture.pixelColor(0, 0), kWhite);
  EXPECT_EQ(picture.pixelColor(400, 300), kWhite) << "the list panel's corner";
  EXPECT_EQ(picture.pixelColor(kBareSkin), kTeal);
  EXPECT_EQ(picture.pixelColor(400, 5), kLight) << "top edge";
  EXPECT_EQ(picture.pixelColor(9, 200), kLight) << "left edge";
  EXPECT_EQ(picture.pixelColor(716, 50), kShadow) << "right edge";
  EXPECT_EQ(picture.pixelColor(70, 464), kShadow) << "bottom of the tab";
  EXPECT_EQ(picture.pixelColor(400, 96), kShadow) << "over the list panel";
  EXPECT_EQ(picture.pixelColor(142, 200), kShadow) << "beside the list panel";

  const QImage shown = Main().grab().toImage();
  EXPECT_EQ(shown.pixelColor(kBareSkin), kTeal);
  EXPECT_EQ(shown.pixelColor(70, 85), kTeal) << "between the title and the buttons";
  EXPECT_NE(shown.pixelColor(74, 432), kTeal) << "the EXIT button covers the skin";
}

TEST_F(MainWindowSkin, StoredPositionNeverMovesItFromTheCorner) {
  TCoolForm* skin = &Skin();
  skin->setProperty("left", 50);
  skin->setProperty("top", 30);
  EXPECT_EQ(skin->pos(), QPoint(0, 0));
  skin->setProperty("width", 500);
  skin->setProperty("height", 300);
  EXPECT_EQ(skin->size(), QSize(500, 300));
}

TEST_F(MainWindowSkin, LeftDragOnTheBareSkinMovesTheWindow) {
  EXPECT_EQ(Drag(Qt::LeftButton, kBareSkin, {30, 20}), QPoint(30, 20));
  EXPECT_EQ(Drag(Qt::LeftButton, {70, 85}, {-12, 7}), QPoint(-12, 7));
}

TEST_F(MainWindowSkin, OtherButtonsAndControlsDoNotMoveIt) {
  EXPECT_EQ(Drag(Qt::RightButton, kBareSkin, {30, 20}), QPoint(0, 0));
  EXPECT_EQ(Drag(Qt::MiddleButton, kBareSkin, {30, 20}), QPoint(0, 0));
  const QPoint onCancel = Child<FlatButton>(Main(), "btnCancel").geometry().center();
  EXPECT_EQ(Drag(Qt::LeftButton, onCancel, {30, 20}), QPoint(0, 0));
  const QPoint onTitle = Main().findChild<QWidget*>("lblTitle2")->geometry().center();
  EXPECT_EQ(Drag(Qt::LeftButton, onTitle, {30, 20}), QPoint(0, 0));
}

TEST(CoolForm, TakesTheFrameAwayAndFillsItsForm) {
  QWidget form;
  form.resize(300, 200);
  auto* skin = new TCoolForm(&form);
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(skin->geometry(), QRect(0, 0, 300, 200));
  form.show();
  form.resize(400, 250);
  EXPECT_EQ(skin->geometry(), QRect(0, 0, 400, 250));

  QWidget later;
  later.resize(120, 80);
  skin->setParent(&later);
  EXPECT_TRUE(later.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(skin->geometry(), QRect(0, 0, 120, 80));
}

TEST(CoolForm, WithoutAUsableOutlineTheFormStaysRectangular) {
  QWidget form;
  auto* skin = new TCoolForm(&form);
  ReadInto(*skin, QByteArray(4, '\0'));
  EXPECT_FALSE(skin->Mask().Region);
  EXPECT_TRUE(form.mask().isEmpty());
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));

  ReadInto(*skin, ShippedOutline());
  EXPECT_FALSE(form.mask().isEmpty());
  ReadInto(*skin, ShippedOutline().left(100));
  EXPECT_FALSE(skin->Mask().Region);
  EXPECT_TRUE(form.mask().isEmpty()) << "a damaged outline does not leave the previous one behind";
}

TEST(CoolForm, TakesOverAnotherRegionHolder) {
  TCoolForm skin;
  EXPECT_EQ(skin.Mask().Owner, &skin);
  auto holder = std::make_unique<TRegionType>();
  holder->Region = QRegion(2, 3, 4, 5);
  TRegionType* given = holder.get();
  skin.SetMask(std::move(holder));
  skin.SetMask(nullptr);
  EXPECT_EQ(&skin.Mask(), given);
  EXPECT_EQ(given->Owner, &skin);
  EXPECT_EQ(skin.Mask().Region, QRegion(2, 3, 4, 5));
}

}  // namespace
}  // namespace omrek
