#include "widgets/FlatPageControl.h"

#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "widgets/FlatButton.h"

namespace omrek {

namespace {
constexpr int kTabHeight = 22;
constexpr int kTabGap = 3;
}  // namespace

FlatPageControl::FlatPageControl(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(kTabGap);
  tabRow_ = new QHBoxLayout;
  tabRow_->setSpacing(kTabGap);
  tabRow_->addStretch();
  column->addLayout(tabRow_);
  pages_ = new QStackedWidget(this);
  column->addWidget(pages_, 1);
  connect(pages_, &QStackedWidget::currentChanged, this, [this](int index) {
    ShowTabFaces();
    emit currentChanged(index);
  });
}

int FlatPageControl::addPage(const QString& caption, QWidget* page) {
  const int index = pages_->addWidget(page);
  auto* button = new FlatButton({caption}, this);
  button->setFixedSize(button->sizeHint().width(), kTabHeight);
  connect(button, &FlatButton::clicked, this, [this, index] { setCurrentIndex(index); });
  tabRow_->insertWidget(index, button);  // before the stretch that keeps the row to the left
  tabs_.push_back(button);
  ShowTabFaces();
  return index;
}

int FlatPageControl::currentIndex() const { return pages_->currentIndex(); }

void FlatPageControl::setCurrentIndex(int index) { pages_->setCurrentIndex(index); }

QWidget* FlatPageControl::page(int index) const { return pages_->widget(index); }

void FlatPageControl::ShowTabFaces() {
  for (int i = 0; i < count(); ++i) {
    FlatButton::Colours colours;
    if (i == currentIndex()) colours.face = colours.hover = colours.pressed;
    tab(i)->setColours(colours);
  }
}

}  // namespace omrek
