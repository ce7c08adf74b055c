#include "intake/ui/FolderOffer.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <algorithm>
#include <climits>

#include "engine/TargetOutcome.h"
#include "intake/FolderExpansion.h"
#include "intake/ReadablePath.h"
#include "intake/ui/TargetListView.h"
#include "platform/IoError.h"
#include "platform/TerminationSignals.h"
#include "widgets/ErrorBox.h"

namespace omrek {

namespace {

// "1,284".
QString Grouped(std::size_t count) {
  QString digits = QString::number(count);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char(','));
  return digits;
}

QString Readable(const std::string& path) { return QString::fromStdString(ReadablePath(path)); }

// A folder walked quicker than this never shows the dialog.
constexpr int kShowAfterMs = 400;

int Clamped(std::size_t count) { return static_cast<int>(std::min<std::size_t>(count, INT_MAX)); }

QString FilesAndBytes(const FolderExpansion& expansion) {
  const QString files =
      expansion.FilesFound() == 1 ? QStringLiteral("1 file") : Grouped(expansion.FilesFound()) + " files";
  return files + " (" + QString::fromStdString(SizeText(static_cast<std::int64_t>(expansion.BytesFound()))) + ")";
}

// What the walk passed by, for the question: "\n\nNot entered, another
// file system is mounted there: a, b". A long list is cut short.
QString PassedBy(const QString& what, const ExpandedFolder& folder, const std::vector<std::string>& places) {
  constexpr std::size_t kNamed = 5;
  if (places.empty()) return {};
  QStringList names;
  for (std::size_t i = 0; i < places.size() && i < kNamed; ++i) {
    names << Readable(PathInFolder(folder.path, places[i]));
  }
  if (places.size() > kNamed) names << QStringLiteral("and %1 more").arg(Grouped(places.size() - kNamed));
  return "\n\n" + what + ": " + names.join(QStringLiteral(", "));
}

}  // namespace

FolderOffer::FolderOffer(TargetListView& list) : QObject(&list), list_(list) {
  connect(&list, &TargetListView::folderAppended, this, &FolderOffer::Queue);
}

void FolderOffer::Queue(const QPersistentModelIndex& row) {
  waiting_.push_back(row);
  // Not now: a drop's source is still waiting for its answer.
  QMetaObject::invokeMethod(this, &FolderOffer::OfferNext, Qt::QueuedConnection);
}

void FolderOffer::OfferNext() {
  // Events run while a tree is walked; a folder listed then waits its turn.
  if (offering_) return;
  offering_ = true;
  while (!waiting_.empty()) {
    const QPersistentModelIndex row = waiting_.front();
    waiting_.pop_front();
    RunGuarded([&] { Offer(row); });
  }
  offering_ = false;
}

void FolderOffer::Offer(const QPersistentModelIndex& row) {
  if (!row.isValid()) return;
  const ListedFile listed = list_.RowFile(row.row());
  std::optional<FolderExpansion> expansion;
  try {
    expansion.emplace(FolderExpansion::Begin(listed.path));
  } catch (const IoError&) {
    return;  // a link, a device, a folder that cannot be read: the row stays as it is
  }
  if (expansion->Folder().identity != listed.identity) return;
  if (!Walk(*expansion) || expansion->FilesFound() == 0 || !Ask(*expansion)) return;
  // The row may have moved, gone or been edited to another path meanwhile.
  if (!row.isValid() || list_.RowFile(row.row()).identity != listed.identity) return;
  list_.ReplaceRow(row.row(), std::move(*expansion).TakeFiles());
}

bool FolderOffer::Walk(FolderExpansion& expansion) {
  const QString folder = Readable(expansion.Folder().path);
  QProgressDialog progress(QStringLiteral("Looking inside %1").arg(folder), QStringLiteral("Cancel"), 0, 0,
                           list_.window());
  progress.setObjectName(QStringLiteral("dlgFolderWalk"));
  progress.setWindowTitle(kProgramTitle);
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(kShowAfterMs);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  while (expansion.Step(kStepEntries)) {
    // The entries of every folder opened so far are the whole, as far as
    // is known yet: the meter never goes back, and fills as the walk ends.
    progress.setMaximum(Clamped(expansion.EntriesKnown()));
    progress.setValue(Clamped(expansion.EntriesSeen()));
    progress.setLabelText(QStringLiteral("Looking inside %1\n%2 so far").arg(folder, FilesAndBytes(expansion)));
    // Until the dialog shows, and blocks the other windows, a click could
    // start a command in the middle of the walk: input waits till then.
    QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    // Asked to end: the walk stops here, and the program's own handling
    // of the signal ends it.
    if (progress.wasCanceled() || TerminationSignals::Requested() != 0) return false;
  }
  return true;
}

bool FolderOffer::Ask(const FolderExpansion& expansion) {
  const ExpandedFolder& folder = expansion.Folder();
  QString text = QStringLiteral("Add the %1 inside %2?").arg(FilesAndBytes(expansion), Readable(folder.path));
  if (!folder.otherNames.empty()) {
    text += QStringLiteral(
                "\n\n%1 links, FIFOs, sockets or devices inside are not listed; a Destroy removes "
                "those of a folder it empties, as names only (what a link leads to stays).")
                .arg(Grouped(folder.otherNames.size()));
  }
  text += PassedBy(QStringLiteral("Not entered, another file system is mounted there"), folder, folder.mountPoints);
  std::vector<std::string> unread;
  for (const ExpandedFolder::Unread& place : folder.unread) unread.push_back(place.relative);
  text += PassedBy(QStringLiteral("Could not be read"), folder, unread);
  QMessageBox question(QMessageBox::Question, kProgramTitle, text, QMessageBox::Yes | QMessageBox::No, list_.window());
  question.setObjectName(QStringLiteral("dlgAddFolderFiles"));
  question.setDefaultButton(QMessageBox::No);
  return question.exec() == QMessageBox::Yes;
}

}  // namespace omrek
