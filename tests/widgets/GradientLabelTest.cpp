#include "widgets/GradientLabel.h"

#include <gtest/gtest.h>

#include <QImage>

#include "widgets/PixelFont.h"

namespace omrek {
namespace {

QImage Render(GradientLabel& label) { return label.grab().toImage().convertToFormat(QImage::Format_RGB32); }

TEST(GradientLabel, FillsFromTheFirstColourToTheLast) {
  GradientLabel label("", GradientLabel::Effect::Raised);
  GradientLabel::Colours colours;
  colours.begin = Qt::red;
  colours.end = Qt::blue;
  label.setColours(colours);
  label.resize(200, 20);

  const QImage image = Render(label);
  const QColor first(image.pixel(0, 10));
  EXPECT_GT(first.red(), 245);
  EXPECT_LT(first.blue(), 10);
  const QColor last(image.pixel(199, 10));
  EXPECT_GT(last.blue(), 245);
  EXPECT_LT(last.red(), 10);
  const QColor middle(image.pixel(100, 10));
  EXPECT_NEAR(middle.red(), 128, 8);
  EXPECT_NEAR(middle.blue(), 128, 8);
}

// Where the highlight lies against the text: up-left of it when the text is
// raised, down-right when it is sunken.
QPointF HighlightOffset(GradientLabel::Effect effect) {
  GradientLabel label("HH", effect);
  GradientLabel::Colours colours;
  colours.begin = colours.end = Qt::black;
  colours.text = Qt::white;
  colours.highlight = Qt::green;
  colours.shadow = Qt::blue;
  label.setColours(colours);
  label.setFont(PixelFont("Arial", 37, Bold));
  label.resize(120, 50);

  const QImage image = Render(label);
  QPointF text, highlight;
  int textCount = 0, highlightCount = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel(image.pixel(x, y));
      if (pixel.red() > 200 && pixel.green() > 200 && pixel.blue() > 200) {
        text += QPointF(x, y);
        ++textCount;
      } else if (pixel.green() > 200 && pixel.red() < 60 && pixel.blue() < 60) {
        highlight += QPointF(x, y);
        ++highlightCount;
      }
    }
  }
  EXPECT_GT(textCount, 50);
  EXPECT_GT(highlightCount, 20);
  return highlight / highlightCount - text / textCount;
}

TEST(GradientLabel, RaisedAndSunkenTextLightFromOppositeSides) {
  const QPointF raised = HighlightOffset(GradientLabel::Effect::Raised);
  EXPECT_LT(raised.x(), 0);
  EXPECT_LT(raised.y(), 0);
  const QPointF sunken = HighlightOffset(GradientLabel::Effect::Sunken);
  EXPECT_GT(sunken.x(), 0);
  EXPECT_GT(sunken.y(), 0);
}

}  // namespace
}  // namespace omrek
