#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QStringList>

namespace omrek {

// A flat button with a coloured face that changes under the mouse and while
// pressed, and a caption of one or more centred lines. Tab reaches it; Space
// or Enter presses it.
class FlatButton : public QAbstractButton {
  Q_OBJECT

 public:
  struct Colours {
    QColor face = Qt::white;
    QColor hover = QColor(232, 232, 232);
    QColor pressed = QColor(192, 192, 192);
    QColor border = QColor(128, 128, 128);
    QColor text = Qt::black;
  };

  // The dialogs' buttons: the window's button face, a grey border, black
  // text, and their own colours under the mouse and while pressed.
  static Colours DialogColours(const QWidget& window, const QColor& hover, const QColor& pressed);

  explicit FlatButton(const QStringList& captionLines, QWidget* parent = nullptr);

  QStringList captionLines() const { return text().split(QLatin1Char('\n')); }
  void setCaptionLines(const QStringList& lines);

  const Colours& colours() const { return colours_; }
  void setColours(const Colours& colours);

  // The face colour for the button's present state.
  QColor currentFace() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  Colours colours_;
  bool hovered_ = false;
};

}  // namespace omrek
