#include "widgets/SpinEdit.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

namespace omrek {
namespace {

// A spin edit beside another control, in a window that has the focus, so
// the edit can really lose it.
class SpinEditInWindow : public ::testing::Test {
 protected:
  SpinEditInWindow() {
    auto* layout = new QVBoxLayout(&window_);
    layout->addWidget(spin_);
    layout->addWidget(other_);
    window_.show();
    window_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  void Type(const char* text) {
    spin_->setFocus();
    spin_->selectAll();
    QTest::keyClicks(spin_, QString::fromLatin1(text));
  }

  void LeaveTheEdit() {
    other_->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !spin_->hasFocus(); }));
  }

  QWidget window_;
  SpinEdit* spin_ = new SpinEdit(0, 100);
  QLineEdit* other_ = new QLineEdit;
};

TEST_F(SpinEditInWindow, ATypedNumberCountsAsTypedUntilTheEditIsLeft) {
  Type("250");
  EXPECT_EQ(spin_->value(), 250) << "out of range, but as typed";
  LeaveTheEdit();
  EXPECT_EQ(spin_->text(), "100");
  EXPECT_EQ(spin_->value(), 100);

  Type("-5");
  EXPECT_EQ(spin_->value(), -5);
  LeaveTheEdit();
  EXPECT_EQ(spin_->text(), "0");

  Type("42");
  LeaveTheEdit();
  EXPECT_EQ(spin_->text(), "42") << "a number in range is left alone";
}

TEST_F(SpinEditInWindow, OnlyDigitsAndSignsCanBeTypedAndNoNumberReadsAsZero) {
  Type("1a2.b");
  EXPECT_EQ(spin_->text(), "12");
  Type("+-");
  EXPECT_EQ(spin_->text(), "+-");
  EXPECT_EQ(spin_->value(), 0);
  LeaveTheEdit();
  EXPECT_EQ(spin_->text(), "0");
  Type("99999999999");
  EXPECT_EQ(spin_->value(), 0) << "too large for a number";
}

TEST_F(SpinEditInWindow, KeysStepByOneAndPagesByTen) {
  spin_->setValue(5);
  spin_->setFocus();
  QTest::keyClick(spin_, Qt::Key_Up);
  EXPECT_EQ(spin_->value(), 6);
  QTest::keyClick(spin_, Qt::Key_PageUp);
  EXPECT_EQ(spin_->value(), 16);
  QTest::keyClick(spin_, Qt::Key_PageDown);
  QTest::keyClick(spin_, Qt::Key_Down);
  EXPECT_EQ(spin_->value(), 5);
  QTest::keyClick(spin_, Qt::Key_PageDown);
  EXPECT_EQ(spin_->value(), 0) << "stepping stays in range";

  spin_->setValue(95);
  QTest::keyClick(spin_, Qt::Key_PageUp);
  EXPECT_EQ(spin_->value(), 100);

  Type("250");
  QTest::keyClick(spin_, Qt::Key_Down);
  EXPECT_EQ(spin_->value(), 100) << "a step from a typed value lands in range";
}

TEST(SpinEdit, AValueSetByTheProgramIsPulledIntoRange) {
  SpinEdit spin(0, 100);
  EXPECT_EQ(spin.value(), 0);
  spin.setValue(500);
  EXPECT_EQ(spin.text(), "100");
  spin.setValue(-3);
  EXPECT_EQ(spin.text(), "0");
  spin.setValue(37);
  EXPECT_EQ(spin.value(), 37);
}

}  // namespace
}  // namespace omrek
