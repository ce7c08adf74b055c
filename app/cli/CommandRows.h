#pragma once

#include <string>
#include <vector>

#include "intake/TargetRows.h"

namespace omrek {

// The rows a command line command works through: one per named file, in
// the order given.
class CommandRows : public TargetRows {
 public:
  explicit CommandRows(std::vector<ListedFile> files);

  int RowCount() const override { return static_cast<int>(before_.size() + after_.size()); }
  ListedFile RowFile(int row) const override { return At(row).file; }
  // The command line shows outcomes line by line, not in rows.
  void SetRowState(int, const std::string&) override {}
  // Constant time, give or take, for a row at or next to the last one
  // deleted, which is where a command's walk deletes them.
  void DeleteRow(int row) override;
  std::unique_ptr<RowHandle> HandleOf(int row) override;

 private:
  struct Row {
    ListedFile file;
    int id;
  };
  class Handle;

  const Row& At(int row) const;
  // Moves the gap so that `row` rows lie before it.
  void MoveGapTo(std::size_t row);
  int IndexOf(int id) const;

  // The rows as a gap buffer: those before the gap in order, those after it
  // in reverse order, so the row just past the gap is the last element.
  // Ids rise down the list, which lets a handle find its row by bisection.
  std::vector<Row> before_;
  std::vector<Row> after_;
};

}  // namespace omrek
