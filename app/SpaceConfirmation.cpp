#include "app/SpaceConfirmation.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <algorithm>

#include "widgets/ModelessWindow.h"

namespace omrek {

namespace {

// Room kept on the screen for the heading (wrapped over a few lines), the
// buttons and the box's margins, beside the title bar.
constexpr int kHeadingLines = 4;
constexpr int kMarginsRoom = 60;

QString DriveLinesText(const SpaceWipeQuestion& question) {
  QStringList lines;
  for (const std::string& line : SpaceWipeDriveLines(question, [](const std::string& root) { return root; })) {
    lines << QString::fromStdString(line);
  }
  return lines.join(QLatin1Char('\n'));
}

// The drive lines under the heading, in a pane as tall as they are where the
// screen has room, else as tall as it allows, scrolling.
QScrollArea* DriveLinesPane(QMessageBox& box, const QString& lines) {
  auto* text = new QLabel(lines);
  text->setObjectName(QStringLiteral("DriveLines"));
  text->setTextFormat(Qt::PlainText);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Never squeezed into the pane: what does not fit scrolls.
  text->setMinimumSize(text->sizeHint());
  auto* pane = new QScrollArea(&box);
  pane->setObjectName(QStringLiteral("DriveLinesPane"));
  pane->setFrameShape(QFrame::NoFrame);
  pane->setWidgetResizable(true);
  pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pane->setWidget(text);

  const QScreen* screen = box.parentWidget() != nullptr ? box.parentWidget()->screen() : box.screen();
  const auto* buttons = box.findChild<QDialogButtonBox*>();
  const int others = kLargestTitleBar + kHeadingLines * box.fontMetrics().lineSpacing() + kMarginsRoom +
                     (buttons != nullptr ? buttons->sizeHint().height() : 0);
  const int room = std::max(box.fontMetrics().lineSpacing(), screen->availableGeometry().height() - others);
  pane->setFixedHeight(std::min(text->sizeHint().height(), room));
  pane->setMinimumWidth(text->sizeHint().width() + box.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  return pane;
}

// Puts the pane below the box's text, where its informative text would go.
void PlaceUnderText(QMessageBox& box, QScrollArea* pane) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  const auto* heading = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (grid == nullptr || heading == nullptr) return;
  int row = 0, column = 0, rows = 0, columns = 0;
  grid->getItemPosition(grid->indexOf(heading), &row, &column, &rows, &columns);
  grid->addWidget(pane, row + rows, column);
}

}  // namespace

QString SpaceConfirmationText(const SpaceWipeQuestion& question) {
  return QString::fromStdString(SpaceWipeHeading(question.sweepsSlack)) + QStringLiteral("\n\n") +
         DriveLinesText(question);
}

bool ConfirmSpaceWipe(QWidget* parent, const SpaceWipeQuestion& question) {
  const bool careful = CancelByDefault(question);
  QMessageBox box(careful ? QMessageBox::Warning : QMessageBox::Question, kSpaceConfirmationTitle,
                  QString::fromStdString(SpaceWipeHeading(question.sweepsSlack)), QMessageBox::Ok | QMessageBox::Cancel,
                  parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("&Wipe"));
  box.setDefaultButton(careful ? QMessageBox::Cancel : QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  PlaceUnderText(box, DriveLinesPane(box, DriveLinesText(question)));
  return box.exec() == QMessageBox::Ok;
}

void TellNoDriveSelected(QWidget* parent) {
  QMessageBox box(QMessageBox::Information, kSpaceConfirmationTitle,
                  QStringLiteral("No drive is selected: choose the drives to wipe in Config."), QMessageBox::Ok,
                  parent);
  box.exec();
}

}  // namespace omrek
