#include <gtest/gtest.h>

#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <stdexcept>

#include "intake/ui/DropTarget.h"
#include "intake/ui/TargetListView.h"
#include "tests/intake/SyntheticDrag.h"
#include "tests/support/ModalBoxCatcher.h"
#include "widgets/PixelFont.h"

namespace omrek {
namespace {

using test::DraggedFiles;
using test::DraggedText;
using test::SyntheticDrag;

constexpr TDragTypes kAllTypes = dtCopy | dtMove | dtLink;

struct EffectCase {
  TDragTypes dragtypes;
  TShiftState keys;
  DropEffect allowed;
  DropEffect expected;
};

TEST(LocalFileNames, OnlyFilesOfThisMachineInOrder) {
  QMimeData data;
  data.setUrls({QUrl("file:///tmp/a b"), QUrl("file://localhost/tmp/b"), QUrl("file://elsewhere/tmp/c"),
                QUrl("https://example.org/d"), QUrl("file:///tmp/a b")});
  EXPECT_EQ(LocalFileNames(data), QByteArrayList({"/tmp/a b", "/tmp/b", "/tmp/a b"}))
      << "another host's path is no local path; duplicates stay";

  QMimeData marks;
  marks.setData("text/uri-list", "file:///tmp/a#b?c\r\nfile:///tmp/d?e#f\r\nfile:///tmp/g%23h%3Fi#j\r\n");
  EXPECT_EQ(LocalFileNames(marks), QByteArrayList({"/tmp/a", "/tmp/d", "/tmp/g#h?i"}))
      << "the first literal '?' or '#' ends the path; escaped ones are part of the name";
}

TEST(ChooseEffect, FollowsTheKeysWithinDragtypes) {
  const std::vector<EffectCase> cases{
      {kAllTypes, {}, 7, kDropEffectCopy},
      {kAllTypes, ssShift, 7, kDropEffectMove},
      {kAllTypes, ssShift | ssCtrl, 7, kDropEffectLink},
      {kAllTypes, ssCtrl, 7, kDropEffectCopy},
      {kAllTypes, ssAlt | ssLeft | ssRight | ssMiddle, 7, kDropEffectCopy},
      {kAllTypes, ssShift | ssAlt, 7, kDropEffectMove},
      {kAllTypes, ssShift, kDropEffectCopy | kDropEffectLink, kDropEffectCopy},
      {kAllTypes, ssShift | ssCtrl, kDropEffectCopy | kDropEffectMove, kDropEffectCopy},
      {kAllTypes, ssShift | ssCtrl, kDropEffectMove, kDropEffectMove},
      {kAllTypes, {}, kDropEffectMove | kDropEffectLink, kDropEffectMove},
      {kAllTypes, {}, kDropEffectLink, kDropEffectLink},
      {kAllTypes, ssShift, kDropEffectNone, kDropEffectNone},
      {dtMove | dtLink, {}, 7, kDropEffectMove},
      {dtLink, ssShift, 7, kDropEffectLink},
      {{}, {}, 7, kDropEffectNone},
      // The program's own setting: copy whatever is held, or nothing.
      {dtCopy, ssShift, 7, kDropEffectCopy},
      {dtCopy, ssShift | ssCtrl, 7, kDropEffectCopy},
      {dtCopy, {}, kDropEffectMove, kDropEffectNone},
      {dtCopy, ssShift | ssCtrl, kDropEffectMove | kDropEffectLink, kDropEffectNone},
  };
  TDropFileTarget target;
  for (const EffectCase& c : cases) {
    target.Dragtypes = c.dragtypes;
    EXPECT_EQ(target.ChooseEffect(c.keys, {5, 5}, c.allowed), c.expected)
        << "dragtypes " << c.dragtypes.toInt() << " keys " << c.keys.toInt() << " allowed " << c.allowed;
  }
}

TEST(ChooseEffect, OnGetDropEffectDecidesOnTheMaskedEffect) {
  TDropFileTarget target;
  target.Dragtypes = dtCopy | dtMove;
  DropEffect offered = 0;
  target.OnGetDropEffect = [&](TDropTarget&, TShiftState, QPoint, DropEffect& effect) {
    offered = effect;
    effect = kDropEffectLink;
  };
  EXPECT_EQ(target.ChooseEffect(ssShift, {5, 5}, 7), kDropEffectLink);
  EXPECT_EQ(offered, kDropEffectCopy | kDropEffectMove);
}

// A list like lstView, shown, with a drop target bound to it that logs its
// events.
class BoundList : public ::testing::Test {
 protected:
  BoundList() {
    list_.setObjectName("lstView");
    list_.setFont(PixelFont("Arial", 11));
    list_.resize(564, 335);
    list_.show();
    target_.Dragtypes = dtCopy;
    target_.OnEnter = Logger("enter");
    target_.OnDragOver = Logger("over");
    target_.OnLeave = [this](TDropTarget&) { log_ << "leave"; };
    target_.OnDrop = Logger("drop");
    target_.Register(&list_);
  }

  TDropTargetEvent Logger(const QString& name) {
    return [this, name](TDropTarget&, TShiftState, QPoint, DropEffect& effect) {
      log_ << name;
      namesSeen_ << target_.FileNames().join('|');
      effectsSeen_ << effect;
    };
  }

  void AddRows(int count) {
    for (int i = 0; i < count; ++i) list_.AppendTarget("/nonexistent/row" + std::to_string(i));
  }

  // More rows than fit: the list shows its vertical scroll bar once it has
  // laid itself out.
  void OverfillList() {
    AddRows(200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list_.verticalScrollBar()->isVisible(); }));
  }

  QWidget* Surface() { return list_.viewport(); }

  TargetListView list_;
  TDropFileTarget target_;
  QStringList log_;
  QStringList namesSeen_;
  QList<DropEffect> effectsSeen_;
};

TEST_F(BoundList, FilesDragEnterOverAndDrop) {
  auto data = DraggedFiles({"/tmp/a", "/tmp/b", "/tmp/a"});
  QList<QUrl> urls = data->urls();
  urls.insert(1, QUrl("https://example.org/not-a-file"));
  data->setUrls(urls);
  SyntheticDrag drag(Surface(), *data, Qt::CopyAction | Qt::MoveAction);

  EXPECT_EQ(drag.Enter({100, 100}, Qt::ShiftModifier), Qt::CopyAction) << "Shift still copies";
  EXPECT_EQ(drag.Move({120, 110}), Qt::CopyAction);
  EXPECT_EQ(target_.DataObject(), data.get());
  EXPECT_EQ(drag.Drop({120, 110}), Qt::CopyAction);

  EXPECT_EQ(log_, QStringList({"enter", "over", "over", "drop"}));
  EXPECT_EQ(namesSeen_, QStringList({"", "", "", "/tmp/a|/tmp/b|/tmp/a"}))
      << "names only inside OnDrop, in order, duplicates kept, non-files left out";
  EXPECT_EQ(effectsSeen_, QList<DropEffect>({1, 1, 1, 1}));
  EXPECT_TRUE(target_.FileNames().isEmpty());
  EXPECT_EQ(target_.DataObject(), nullptr);
}

TEST_F(BoundList, DataWithoutFilesIsRefusedAndOnlyLeaves) {
  auto text = DraggedText("plain words");
  SyntheticDrag drag(Surface(), *text, Qt::CopyAction);
  EXPECT_EQ(drag.Enter({100, 100}), Qt::IgnoreAction);
  EXPECT_EQ(drag.Move({110, 100}), Qt::IgnoreAction);
  EXPECT_TRUE(log_.isEmpty());
  drag.Leave();
  EXPECT_EQ(log_, QStringList({"leave"}));

  drag.Enter({100, 100});
  EXPECT_EQ(drag.Drop({110, 100}), Qt::IgnoreAction) << "released anyway";
  EXPECT_EQ(log_, QStringList({"leave"}));

  auto web = std::make_unique<QMimeData>();
  web->setUrls({QUrl("https://example.org/page")});
  SyntheticDrag links(Surface(), *web, Qt::CopyAction);
  EXPECT_EQ(links.Enter({100, 100}), Qt::IgnoreAction) << "a URI list without local files";
  links.Leave();
}

TEST_F(BoundList, SourceOfferingOnlyMoveIsRefused) {
  auto data = DraggedFiles({"/tmp/a"});
  SyntheticDrag drag(Surface(), *data, Qt::MoveAction);
  EXPECT_EQ(drag.Enter({100, 100}, Qt::ShiftModifier), Qt::IgnoreAction);
  drag.Leave();
  EXPECT_EQ(log_, QStringList({"enter", "over", "leave"}));
  EXPECT_EQ(effectsSeen_, QList<DropEffect>({0, 0}));
  EXPECT_EQ(target_.DataObject(), nullptr);
}

TEST_F(BoundList, GetDataOnEnterHoldsTheNamesUntilTheLeave) {
  target_.GetDataOnEnter = true;
  auto data = DraggedFiles({"/tmp/a", "/tmp/b"});
  SyntheticDrag drag(Surface(), *data, Qt::CopyAction);
  drag.Enter({100, 100});
  EXPECT_EQ(target_.FileNames(), QByteArrayList({"/tmp/a", "/tmp/b"}));
  drag.Leave();
  EXPECT_EQ(log_, QStringList({"enter", "over", "leave"}));
  EXPECT_EQ(namesSeen_, QStringList({"/tmp/a|/tmp/b", "/tmp/a|/tmp/b"}));
  EXPECT_TRUE(target_.FileNames().isEmpty());
}

TEST_F(BoundList, ErrorInOnDropIsShownAfterTheDropWithTheTargetClean) {
  target_.OnDrop = [](TDropTarget&, TShiftState, QPoint, DropEffect&) {
    throw std::runtime_error("File access denied");
  };
  test::ModalBoxCatcher catcher;
  auto data = DraggedFiles({"/tmp/a"});
  SyntheticDrag drag(Surface(), *data, Qt::CopyAction | Qt::MoveAction);
  drag.Enter({100, 100});

  EXPECT_EQ(drag.Drop({100, 100}), Qt::IgnoreAction) << "a moving source keeps its files";
  EXPECT_TRUE(catcher.Boxes().empty()) << "no box while the source waits for its answer";
  EXPECT_TRUE(target_.FileNames().isEmpty());
  EXPECT_EQ(target_.DataObject(), nullptr);

  ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.Boxes().empty(); }));
  EXPECT_EQ(catcher.Boxes()[0].text, "File access denied.");
  EXPECT_EQ(catcher.Boxes()[0].title, "Omrek, Filebane");
}

TEST_F(BoundList, OneTargetPerControlAndUnregisterStopsTheDrags) {
  TDropFileTarget second;
  second.Dragtypes = dtCopy;
  second.Register(nullptr);
  try {
    second.Register(&list_);
    ADD_FAILURE() << "a second target was bound";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Failed to Register lstView");
  }
  EXPECT_EQ(second.BoundControl(), nullptr);
  target_.Register(&list_);
  EXPECT_EQ(target_.BoundControl(), &list_) << "registering the bound control again changes nothing";

  auto data = DraggedFiles({"/tmp/a"});
  SyntheticDrag drag(Surface(), *data, Qt::CopyAction);
  target_.Unregister();
  EXPECT_FALSE(Surface()->acceptDrops());
  drag.Enter({100, 100});
  EXPECT_TRUE(log_.isEmpty());

  second.Register(&list_);
  EXPECT_TRUE(Surface()->acceptDrops());
  EXPECT_EQ(drag.Enter({100, 100}), Qt::CopyAction);
  drag.Leave();
  second.Register(nullptr);
  EXPECT_EQ(second.BoundControl(), nullptr);
  EXPECT_FALSE(Surface()->acceptDrops());

  {
    TDropFileTarget shortLived;
    shortLived.Register(&list_);
  }
  EXPECT_FALSE(Surface()->acceptDrops()) << "a target unbinds when it goes";
  EXPECT_NO_THROW(second.Register(&list_));
}

TEST_F(BoundList, EdgeBandIsTheFontHeightOnAxesWithScrollBars) {
  OverfillList();
  const int height = Surface()->height();
  auto data = DraggedFiles({"/tmp/a"});
  SyntheticDrag drag(Surface(), *data, Qt::CopyAction);
  drag.Enter({100, 100});
  const DropEffect inBand = kDropEffectCopy | kDropEffectScroll;
  EXPECT_EQ(target_.ChooseEffect({}, {100, 10}, 7), inBand);
  EXPECT_EQ(target_.ChooseEffect({}, {100, 11}, 7), kDropEffectCopy);
  EXPECT_EQ(target_.ChooseEffect({}, {100, height - 11}, 7), kDropEffectCopy);
  EXPECT_EQ(target_.ChooseEffect({}, {100, height - 10}, 7), inBand);
  EXPECT_EQ(target_.ChooseEffect({}, {3, 100}, 7), kDropEffectCopy) << "no horizontal scroll bar";
  drag.Leave();

  target_.OnGetDropEffect = [](TDropTarget&, TShiftState, QPoint, DropEffect&) {};
  EXPECT_EQ(target_.ChooseEffect({}, {100, 10}, 7), kDropEffectCopy) << "the handler's answer gets no scroll flag";
}

TEST_F(BoundList, RestingInTheBandScrollsOneLineATick) {
  OverfillList();
  QScrollBar* bar = list_.verticalScrollBar();
  bar->setValue(bar->maximum());
  const int bottom = bar->value();
  QSignalSpy steps(bar, &QScrollBar::valueChanged);
  auto data = DraggedFiles({"/tmp/a"});
  SyntheticDrag drag(Surface(), *data, Qt::CopyAction);

  drag.Enter({100, 5});
  EXPECT_TRUE(target_.AutoScrollTimer().isActive());
  EXPECT_EQ(target_.AutoScrollTimer().interval(), 100);
  ASSERT_TRUE(QTest::qWaitFor([&] { return steps.count() >= 3; }));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(steps[i][0].toInt(), bottom - 1 - i) << "one line up each tick";

  drag.Move({100, 150});
  EXPECT_FALSE(target_.AutoScrollTimer().isActive()) << "out of the band";
  const int rested = bar->value();
  drag.Move({100, Surface()->height() - 5});
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() > rested; }));
  drag.Drop({100, Surface()->height() - 5});
  EXPECT_FALSE(target_.AutoScrollTimer().isActive());
}

TEST_F(BoundList, NoScrollBarNoScrolling) {
  AddRows(3);
  auto data = DraggedFiles({"/tmp/a"});
  SyntheticDrag drag(Surface(), *data, Qt::CopyAction);
  EXPECT_EQ(drag.Enter({100, 5}), Qt::CopyAction);
  EXPECT_FALSE(target_.AutoScrollTimer().isActive());
  EXPECT_EQ(target_.ChooseEffect({}, {100, 5}, 7), kDropEffectCopy);
  drag.Leave();
}

}  // namespace
}  // namespace omrek
