#include "disk/ui/DiskList.h"

#include <QFileIconProvider>
#include <QHeaderView>
#include <QSocketNotifier>
#include <algorithm>

#include "platform/DriveTable.h"
#include "platform/MountProbe.h"
#include "platform/MountWatch.h"

namespace omrek {

namespace {

QIcon IconFor(DriveKind kind) {
  const QFileIconProvider icons;
  return icons.icon(kind == DriveKind::Remote ? QFileIconProvider::Network : QFileIconProvider::Drive);
}

// A drive that does not answer says so after its letter; its caption then
// yields no letter, so it is never taken for a selected drive.
QString Caption(const Drive& drive) {
  const QString name = QString::fromStdString(drive.DisplayName());
  return drive.Responding ? name : name + QStringLiteral(" not responding");
}

}  // namespace

TDiskListView::TDiskListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderLabels({QStringLiteral("Select drives")});
  header()->setSectionsClickable(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  setRootIsDecorated(false);
  setSortingEnabled(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(16, 16));
  FollowMountTable();
  // Asking a mount that is still stuck costs nothing, so a look every
  // couple of seconds is cheap.
  notResponding_.setInterval(2000);
  connect(&notResponding_, &QTimer::timeout, this, &TDiskListView::RefreshOnceAnswered);
}

TDiskListView::~TDiskListView() = default;

void TDiskListView::FollowMountTable() {
  mountTable_ = std::make_unique<MountWatch>();
  if (mountTable_->Descriptor() < 0) return;
  mountChanges_ = std::make_unique<QSocketNotifier>(mountTable_->Descriptor(), QSocketNotifier::Exception);
  connect(mountChanges_.get(), &QSocketNotifier::activated, this, &TDiskListView::RefreshKeepingSelection);
}

void TDiskListView::RefreshKeepingSelection() {
  const std::vector<std::string> selected = SelectedMountPoints();
  RefreshDrives();
  SelectMountPoints(selected);
}

// The list fills anew only once a drive that did not respond has answered
// at last, so the user's place in the list is not lost meanwhile.
void TDiskListView::RefreshOnceAnswered() {
  for (int row = 0; row < topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item->flags() & Qt::ItemIsSelectable) continue;
    if (!MountProbe::IsStuck(item->data(0, Qt::UserRole).toByteArray().toStdString())) {
      RefreshKeepingSelection();
      return;
    }
  }
}

void TDiskListView::RefreshDrives() {
  setUpdatesEnabled(false);
  clear();
  notResponding_.stop();
  for (const Drive& drive : DriveTable::Read().Drives()) {
    if (drive.Kind == DriveKind::Unknown || drive.Kind == DriveKind::NoRootDirectory) continue;
    auto* item = new QTreeWidgetItem(this, {Caption(drive)});
    item->setIcon(0, IconFor(drive.Kind));
    item->setData(0, Qt::UserRole, QByteArray::fromStdString(drive.RootDirectory));
    // Nothing can be done on a drive that does not answer.
    if (!drive.Responding) {
      item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
      notResponding_.start();
    }
    if (drive.Kind == DriveKind::Fixed && selectLocalDrives_) item->setSelected(true);
  }
  setUpdatesEnabled(true);
}

QString TDiskListView::SelectedDriveLetters() const {
  QString letters;
  for (int row = 0; row < topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item->isSelected()) continue;
    const QChar letter = DriveLetterOfDisplayName(item->text(0));
    if (!letter.isNull()) letters += letter;
  }
  return letters;
}

std::vector<std::string> TDiskListView::SelectedDriveRoots() const {
  std::vector<std::string> roots;
  for (int row = 0; row < topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item->isSelected() && !DriveLetterOfDisplayName(item->text(0)).isNull()) {
      roots.push_back(item->data(0, Qt::UserRole).toByteArray().toStdString());
    }
  }
  return roots;
}

std::vector<std::string> TDiskListView::SelectedMountPoints() const {
  std::vector<std::string> mountPoints;
  for (int row = 0; row < topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item->isSelected()) mountPoints.push_back(item->data(0, Qt::UserRole).toByteArray().toStdString());
  }
  return mountPoints;
}

void TDiskListView::SelectMountPoints(const std::vector<std::string>& mountPoints) {
  for (int row = 0; row < topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = topLevelItem(row);
    const std::string root = item->data(0, Qt::UserRole).toByteArray().toStdString();
    const bool wanted = std::find(mountPoints.begin(), mountPoints.end(), root) != mountPoints.end();
    item->setSelected(wanted && (item->flags() & Qt::ItemIsSelectable));
  }
}

QChar DriveLetterOfDisplayName(const QString& displayName) {
  // The letter is read from the marker that ends the name, so a label with
  // " (" of its own, such as "My (old) disk", still yields its own drive.
  static const QString kOpen = QStringLiteral(" (");
  static const QString kClose = QStringLiteral(":)");
  if (!displayName.endsWith(kClose) || displayName.size() < kOpen.size() + 1 + kClose.size()) return {};
  const qsizetype letterAt = displayName.size() - kClose.size() - 1;
  if (displayName.mid(letterAt - kOpen.size(), kOpen.size()) != kOpen) return {};
  const QChar letter = displayName.at(letterAt).toUpper();
  return letter >= QLatin1Char('A') && letter <= QLatin1Char('Z') ? letter : QChar();
}

}  // namespace omrek
