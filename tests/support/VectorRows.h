#pragma once

#include <memory>
#include <string>
#include <vector>

#include "intake/TargetRows.h"

namespace omrek::test {

// Target rows held in a plain list, for engine tests without a window.
class VectorRows : public TargetRows {
 public:
  struct Row {
    ListedFile file;
    std::string state;
  };

  // Each path is listed now, as adding it to the window's list would.
  explicit VectorRows(const std::vector<std::string>& paths) {
    for (const auto& path : paths) rows.push_back({ListFile(path), ""});
  }

  int RowCount() const override { return static_cast<int>(rows.size()); }
  ListedFile RowFile(int row) const override { return rows[static_cast<std::size_t>(row)].file; }
  void SetRowState(int row, const std::string& text) override { rows[static_cast<std::size_t>(row)].state = text; }
  void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
  // Rows do not move here while a command runs.
  std::unique_ptr<RowHandle> HandleOf(int row) override { return std::make_unique<FixedHandle>(row); }

  std::vector<Row> rows;

 private:
  class FixedHandle : public RowHandle {
   public:
    explicit FixedHandle(int row) : row_(row) {}
    int Index() const override { return row_; }

   private:
    int row_;
  };
};

}  // namespace omrek::test
