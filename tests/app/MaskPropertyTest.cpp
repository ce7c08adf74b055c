#include "app/MaskProperty.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <cstdint>
#include <vector>

namespace omrek {
namespace {

// Offsets in the stored value: its length, then the description's header
// fields and the rectangles.
constexpr int kHeaderSizeAt = 4;
constexpr int kKindAt = 8;
constexpr int kCountAt = 12;
constexpr int kArraySizeAt = 16;
constexpr int kBoundAt = 20;
constexpr int kRectanglesAt = 36;

QByteArray ShippedOutline() {
  QFile file(":/skin/Mask2.bin");
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return file.readAll();
}

TRegionType Read(const QByteArray& value) {
  QBuffer buffer;
  buffer.setData(value);
  buffer.open(QIODevice::ReadOnly);
  TRegionType mask;
  mask.Region = QRegion(0, 0, 1, 1);
  ReadMask(buffer, mask);
  return mask;
}

QByteArray Written(const TRegionType& mask) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  WriteMask(buffer, mask);
  return buffer.data();
}

QByteArray With(QByteArray value, int offset, std::uint32_t field) {
  qToLittleEndian(field, value.data() + offset);
  return value;
}

TEST(ShippedOutline, IsTheInvertedLOfEighteenRectangles) {
  const QByteArray value = ShippedOutline();
  ASSERT_EQ(value.size(), 324);
  EXPECT_EQ(qFromLittleEndian<std::uint32_t>(value.constData()), 320u);

  const TRegionType mask = Read(value);
  ASSERT_TRUE(mask.Region);
  const std::vector<QRect> expected{
      {15, 5, 699, 1},   {13, 6, 702, 1},   {12, 7, 704, 1},   {11, 8, 705, 2},   {10, 10, 707, 3},  {9, 13, 708, 78},
      {9, 91, 707, 3},   {9, 94, 706, 1},   {9, 95, 705, 1},   {9, 96, 701, 1},   {9, 97, 700, 357}, {9, 454, 134, 2},
      {10, 456, 132, 3}, {11, 459, 130, 2}, {12, 461, 128, 1}, {13, 462, 126, 1}, {15, 463, 122, 1}, {19, 464, 114, 1}};
  EXPECT_EQ(std::vector<QRect>(mask.Region->begin(), mask.Region->end()), expected);
  EXPECT_EQ(mask.Region->boundingRect(), QRect(QPoint(9, 5), QPoint(716, 464)));
  EXPECT_FALSE(mask.Region->contains(QPoint(0, 0)));
  EXPECT_FALSE(mask.Region->contains(QPoint(715, 460)));
  EXPECT_FALSE(mask.Region->contains(QPoint(14, 5))) << "the corners are rounded";
  EXPECT_TRUE(mask.Region->contains(QPoint(400, 50)));
  EXPECT_TRUE(mask.Region->contains(QPoint(19, 464)));
}

TEST(ShippedOutline, WritesBackTheSameBytes) {
  const QByteArray value = ShippedOutline();
  EXPECT_EQ(Written(Read(value)), value);
}

TEST(MaskValue, LengthZeroMeansNoRegionBothWays) {
  const QByteArray none(4, '\0');
  EXPECT_FALSE(Read(none).Region);
  EXPECT_EQ(Written(TRegionType{}), none);
}

TEST(MaskValue, ReadingStopsAtTheGivenLength) {
  const QByteArray next("NEXT");
  for (const QByteArray& value : {ShippedOutline(), With(ShippedOutline(), kKindAt, 2)}) {
    QBuffer buffer;
    buffer.setData(value + next);
    buffer.open(QIODevice::ReadOnly);
    TRegionType mask;
    ReadMask(buffer, mask);
    EXPECT_EQ(buffer.pos(), value.size());
    EXPECT_EQ(buffer.readAll(), next);
  }
}

TEST(MaskValue, AValueCutShortLeavesNoRegion) {
  const QByteArray value = ShippedOutline();
  for (int size = 0; size < value.size(); ++size) {
    EXPECT_FALSE(Read(value.left(size)).Region) << size << " bytes";
  }
  // A length that promises far more than the stream holds.
  EXPECT_FALSE(Read(With(value, 0, 0xFFFFFFFF)).Region);
  EXPECT_FALSE(Read(With(value, 0, 321)).Region);
}

struct Damage {
  const char* what;
  QByteArray value;
};

TEST(MaskValue, ADescriptionThatCannotBeUsedLeavesNoRegion) {
  const QByteArray good = ShippedOutline();
  const QByteArray longer = With(good + QByteArray(16, '\0'), 0, 336);
  QByteArray noRectangles = With(With(With(good.left(36), 0, 32), kCountAt, 0), kArraySizeAt, 0);
  const std::vector<Damage> damages{
      {"another header size", With(good, kHeaderSizeAt, 40)},
      {"another kind", With(good, kKindAt, 2)},
      {"more rectangles counted than present", With(good, kCountAt, 19)},
      {"fewer rectangles counted than present", With(good, kCountAt, 17)},
      {"a count whose size wraps around 32 bits", With(good, kCountAt, 0x10000012)},
      {"bytes after the rectangles", longer},
      {"an array size that disagrees", With(good, kArraySizeAt, 287)},
      {"no rectangles", noRectangles},
      {"an empty rectangle", With(good, kRectanglesAt + 8, 15)},
      {"an upside-down rectangle", With(good, kRectanglesAt + 12, 4)},
      {"a rectangle beyond the bounding one", With(good, kBoundAt + 8, 700)},
      {"coordinates beyond 16 bits", With(With(good, kBoundAt + 8, 70000), kRectanglesAt + 8, 70000)},
      {"negative coordinates beyond 16 bits", With(With(good, kBoundAt, static_cast<std::uint32_t>(-70000)),
                                                   kRectanglesAt, static_cast<std::uint32_t>(-70000))},
  };
  for (const Damage& damage : damages) EXPECT_FALSE(Read(damage.value).Region) << damage.what;

  // An array size of 0 means "not known" and is no contradiction.
  EXPECT_TRUE(Read(With(good, kArraySizeAt, 0)).Region);
}

}  // namespace
}  // namespace omrek
