#pragma once

#include <QUrl>

#include "widgets/ClickLabel.h"

namespace omrek {

// A label that looks like a link (blue, underlined, a pointing hand) and
// stands for an address, shown as its hint. A click emits clicked(); the
// window that holds it decides how to open the address.
class LinkLabel : public ClickLabel {
  Q_OBJECT

 public:
  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  const QUrl& url() const { return url_; }
  void setUrl(const QUrl& url);

 private:
  QUrl url_;
};

}  // namespace omrek
