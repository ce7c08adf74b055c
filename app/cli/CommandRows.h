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

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  ListedFile RowFile(int row) const override { return rows_.at(row).file; }
  // The command line shows outcomes line by line, not in rows.
  void SetRowState(int, const std::string&) override {}
  void DeleteRow(int row) override;
  std::unique_ptr<RowHandle> HandleOf(int row) override;

 private:
  struct Row {
    ListedFile file;
    int id;
  };
  class Handle;

  int IndexOf(int id) const;

  std::vector<Row> rows_;
};

}  // namespace omrek
