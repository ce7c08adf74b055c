// A drag source for the drop tests, standing in for a file manager: a small
// window at the top-left corner of the screen. Pressing the left button in
// it and moving the pointer drags the files named on the command line
// (text/uri-list; copy or move, or move only with --move-only), or plain
// text with --text. A drag that ends in a move deletes the files, as a file
// manager's move takes them from where they were.
//
// It tells the test where it is on standard output: "ready" once it is on
// screen, "dragging" when the drag starts, and "result copy", "result move",
// "result link" or "result none" when the drag is over. It keeps running,
// as a file manager does, since the target fetches the dropped data from it
// while it handles the drop; the test ends it.
//
//   drag_source [--move-only] [--text TEXT] [FILE...]

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QWidget>
#include <iostream>

namespace {

void Say(const char* line) { std::cout << line << std::endl; }

const char* ResultLine(Qt::DropAction action) {
  switch (action) {
    case Qt::CopyAction:
      return "result copy";
    case Qt::MoveAction:
      return "result move";
    case Qt::LinkAction:
      return "result link";
    default:
      return "result none";
  }
}

struct Offer {
  QStringList files;
  QString text;
  bool isText = false;
  Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
};

class DragSourceWindow : public QWidget {
 public:
  explicit DragSourceWindow(Offer offer) : offer_(std::move(offer)) {
    setWindowTitle(QStringLiteral("Drag source"));
    setGeometry(0, 0, 200, 150);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), Qt::darkCyan);
    if (!shown_) Say("ready");
    shown_ = true;
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    if (dragged_ || !event->buttons().testFlag(Qt::LeftButton)) return;
    if ((event->position().toPoint() - pressedAt_).manhattanLength() < QApplication::startDragDistance()) return;
    dragged_ = true;

    auto* drag = new QDrag(this);
    drag->setMimeData(MakeData());
    Say("dragging");
    const Qt::DropAction result =
        drag->exec(offer_.actions, offer_.actions.testFlag(Qt::CopyAction) ? Qt::CopyAction : Qt::MoveAction);
    Say(ResultLine(result));
    if (result == Qt::MoveAction) {
      for (const QString& file : offer_.files) QFile::remove(file);
    }
  }

 private:
  QMimeData* MakeData() const {
    auto* data = new QMimeData;
    if (offer_.isText) {
      data->setText(offer_.text);
    } else {
      QList<QUrl> urls;
      for (const QString& file : offer_.files) urls << QUrl::fromLocalFile(file);
      data->setUrls(urls);
    }
    return data;
  }

  Offer offer_;
  QPoint pressedAt_;
  bool shown_ = false;
  bool dragged_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  Offer offer;
  QStringList arguments = QCoreApplication::arguments().mid(1);
  while (!arguments.isEmpty()) {
    const QString argument = arguments.takeFirst();
    if (argument == QLatin1String("--move-only")) {
      offer.actions = Qt::MoveAction;
    } else if (argument == QLatin1String("--text") && !arguments.isEmpty()) {
      offer.isText = true;
      offer.text = arguments.takeFirst();
    } else {
      offer.files << argument;
    }
  }
  DragSourceWindow window(offer);
  window.show();
  return QApplication::exec();
}
