#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <deque>

namespace omrek {

class FolderExpansion;
class TargetListView;

// Offers to list a folder's files in place of its "folder" row: the tree is
// walked first, with a meter and a Cancel button, and the user is then asked
// "Add the 1,284 files (3.2 GiB) inside ...?". No, Cancel or a folder with
// no files keeps the folder row. Offers come one at a time, from the event
// loop, so a drop answers its source before anything is walked.
class FolderOffer : public QObject {
  Q_OBJECT

 public:
  // Offers for every folder row appended to `list`, which owns the offer.
  explicit FolderOffer(TargetListView& list);

  // Entries walked between two looks at the meter and the Cancel button.
  static constexpr std::size_t kStepEntries = 256;

 private:
  void Queue(const QPersistentModelIndex& row);
  void OfferNext();
  void Offer(const QPersistentModelIndex& row);
  // Walks the whole tree while the window stays alive; false when the user
  // cancelled.
  bool Walk(FolderExpansion& expansion);
  bool Ask(const FolderExpansion& expansion);

  TargetListView& list_;
  std::deque<QPersistentModelIndex> waiting_;
  bool offering_ = false;
};

}  // namespace omrek
