#include "widgets/LinkLabel.h"

namespace omrek {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : ClickLabel(text, parent) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  QPalette blue = palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  setPalette(blue);
}

void LinkLabel::setUrl(const QUrl& url) {
  url_ = url;
  setToolTip(url.toDisplayString(QUrl::PreferLocalFile));
}

}  // namespace omrek
