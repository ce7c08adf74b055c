#include "app/JpegDecoder.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include "tests/support/TempDir.h"

namespace omrek {
namespace {

QByteArray Emblem() {
  QFile file(":/about/emblem.jpg");
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return file.readAll();
}

// The offset of the first marker with the given code, e.g. 0xC0 for the
// frame header.
qsizetype MarkerAt(const QByteArray& jpeg, unsigned char code) {
  return jpeg.indexOf(QByteArray("\xFF") + static_cast<char>(code));
}

TEST(JpegDecoder, TheEmblemDecodesToItsSize) {
  const QImage emblem = DecodeJpeg(Emblem());
  ASSERT_FALSE(emblem.isNull());
  EXPECT_EQ(emblem.size(), QSize(144, 143));
  EXPECT_GT(qGray(emblem.pixel(0, 0)), 240) << "white corner";
  EXPECT_GT(qRed(emblem.pixel(20, 71)), 2 * qGreen(emblem.pixel(20, 71))) << "maroon badge";
}

TEST(JpegDecoder, GreyPicturesComeOutAsRgb) {
  QImage grey(40, 24, QImage::Format_Grayscale8);
  grey.fill(200);
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(QImageWriter(&buffer, "jpeg").write(grey));

  const QImage decoded = DecodeJpeg(jpeg);
  ASSERT_EQ(decoded.size(), QSize(40, 24));
  const QColor middle = decoded.pixelColor(20, 12);
  EXPECT_NEAR(middle.red(), 200, 3);
  EXPECT_EQ(middle.red(), middle.green());
  EXPECT_EQ(middle.green(), middle.blue());
}

TEST(JpegDecoder, DamagedPicturesGiveNoImage) {
  const QByteArray emblem = Emblem();
  EXPECT_TRUE(DecodeJpeg({}).isNull());
  EXPECT_TRUE(DecodeJpeg("not a picture at all").isNull());

  QByteArray badTable = emblem;
  badTable[MarkerAt(emblem, 0xC4) + 5 + 15] = static_cast<char>(0xFF);  // 255 codes of 16 bits cannot exist
  EXPECT_TRUE(DecodeJpeg(badTable).isNull());

  QByteArray badPrecision = emblem;
  badPrecision[MarkerAt(emblem, 0xC0) + 4] = 3;
  EXPECT_TRUE(DecodeJpeg(badPrecision).isNull());

  // A marker in the middle of the compressed data, where only data belongs.
  QByteArray badScan = emblem;
  const qsizetype middle = MarkerAt(emblem, 0xDA) + (emblem.size() - MarkerAt(emblem, 0xDA)) / 2;
  badScan[middle] = static_cast<char>(0xFF);
  badScan[middle + 1] = static_cast<char>(0xD3);
  EXPECT_TRUE(DecodeJpeg(badScan).isNull());
}

TEST(JpegDecoder, TruncatedPicturesGiveNoImage) {
  const QByteArray emblem = Emblem();
  for (const qsizetype length : {qsizetype{1}, qsizetype{2}, qsizetype{100}, emblem.size() / 2, emblem.size() - 2}) {
    EXPECT_TRUE(DecodeJpeg(emblem.left(length)).isNull()) << length << " of " << emblem.size() << " bytes";
  }
}

TEST(JpegDecoder, AHugeSizeInTheHeaderIsRefusedBeforeAnyPixelIsKept) {
  // 60000 x 60000 would take ten gigabytes, and the data ends long before.
  QByteArray huge = Emblem();
  const qsizetype frame = MarkerAt(huge, 0xC0);
  for (const qsizetype at : {frame + 5, frame + 7}) {
    huge[at] = static_cast<char>(60000 >> 8);
    huge[at + 1] = static_cast<char>(60000 & 0xFF);
  }
  EXPECT_TRUE(DecodeJpeg(huge).isNull());
}

TEST(JpegDecoder, FilesThatAreMissingOrNoPictureGiveNoImage) {
  test::TempDir folder;
  EXPECT_TRUE(DecodeJpegFile(QString::fromStdString(folder.File("missing.jpg"))).isNull());
  EXPECT_TRUE(DecodeJpegFile(QString::fromStdString(folder.Path())).isNull());
  EXPECT_TRUE(DecodeJpegFile("/dev/zero").isNull()) << "an endless file is not read to its end";

  const std::string copy = folder.File("emblem.jpg");
  test::WriteFile(copy, Emblem().toStdString());
  EXPECT_EQ(DecodeJpegFile(QString::fromStdString(copy)).size(), QSize(144, 143));
  test::WriteFile(copy, Emblem().left(500).toStdString());
  EXPECT_TRUE(DecodeJpegFile(QString::fromStdString(copy)).isNull());
}

}  // namespace
}  // namespace omrek
