#pragma once

#include <functional>
#include <string>
#include <vector>

#include "intake/TargetRows.h"

namespace omrek {

// The rows a command line command works through: one per named file, in
// the order given. What the command makes of each row (its state text, or
// the row deleted when the file is gone) is handed to `report` as it
// happens; a deleted row reports an empty state.
class CommandRows : public TargetRows {
 public:
  using Report = std::function<void(const ListedFile& file, const std::string& state)>;

  CommandRows(std::vector<ListedFile> files, Report report);

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  ListedFile RowFile(int row) const override { return rows_.at(row).file; }
  void SetRowState(int row, const std::string& text) override;
  void DeleteRow(int row) override;
  std::unique_ptr<RowHandle> HandleOf(int row) override;

  // The files of the rows that nothing was reported for yet: those a stop
  // left untouched.
  std::vector<ListedFile> Unreported() const;

 private:
  struct Row {
    ListedFile file;
    int id;
    bool reported = false;
  };
  class Handle;

  int IndexOf(int id) const;

  std::vector<Row> rows_;
  Report report_;
};

}  // namespace omrek
