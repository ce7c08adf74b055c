#pragma once

#include <QWidget>
#include <vector>

class QHBoxLayout;
class QStackedWidget;

namespace omrek {

class FlatButton;

// A set of pages, one shown at a time, chosen by a row of flat buttons along
// the top. The button of the page shown stays pressed in.
class FlatPageControl : public QWidget {
  Q_OBJECT

 public:
  explicit FlatPageControl(QWidget* parent = nullptr);

  // Adds the page under a new tab at the end; the control takes the page
  // over. Returns the page's index.
  int addPage(const QString& caption, QWidget* page);

  int count() const { return static_cast<int>(tabs_.size()); }
  int currentIndex() const;
  void setCurrentIndex(int index);

  QWidget* page(int index) const;
  FlatButton* tab(int index) const { return tabs_.at(static_cast<std::size_t>(index)); }

 signals:
  void currentChanged(int index);

 private:
  void ShowTabFaces();

  QHBoxLayout* tabRow_;
  QStackedWidget* pages_;
  std::vector<FlatButton*> tabs_;
};

}  // namespace omrek
