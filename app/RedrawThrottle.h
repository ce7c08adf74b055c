#pragma once

#include <QElapsedTimer>
#include <QObject>

class QWidget;

namespace omrek {

// While a command runs, the window redraws at most every 50 ms, and the
// list lays out its rows no more often: a command working through thousands
// of small files would otherwise spend most of its time repainting a list
// that scrolls by faster than anyone can read it. Events are still pumped
// wherever the command pumps them; only the drawing waits, and what waited
// is drawn at the next pump 50 ms on, and when the command ends.
class RedrawThrottle : public QObject {
 public:
  // `window` is the top-level window whose redraws wait, and the owner;
  // `list` is the view whose row layout (run from its timers) waits with
  // them.
  RedrawThrottle(QWidget& window, QWidget& list);

  void Start();
  // Lets what waited be drawn now.
  void Stop();
  // Called before each pump: hands back what waited once its time has come.
  void Release();

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Due() const;
  void RepostRedraw();

  QWidget& window_;
  QWidget& list_;
  QElapsedTimer sinceRedraw_;
  bool active_ = false;
  bool redrawWaiting_ = false;
};

}  // namespace omrek
