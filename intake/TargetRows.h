#pragma once

#include <memory>
#include <string>

#include "intake/TargetFile.h"

namespace omrek {

// The rows of the target list as the commands see them. Rows are addressed
// by position from 0; deleting a row moves the rows below it up.
class TargetRows {
 public:
  virtual ~TargetRows() = default;

  virtual int RowCount() const = 0;
  // The row's file: its path exactly as it was added or edited, and what
  // that path led to then.
  virtual ListedFile RowFile(int row) const = 0;
  // Replaces the size column's text ("skipped", "-slack", ...).
  virtual void SetRowState(int row, const std::string& text) = 0;
  virtual void DeleteRow(int row) = 0;

  // Follows one row while events run and rows above it come and go, so a
  // command acts on the row it worked on and no other.
  class RowHandle {
   public:
    virtual ~RowHandle() = default;
    // The row's position now, or -1 once the row is gone.
    virtual int Index() const = 0;
  };
  virtual std::unique_ptr<RowHandle> HandleOf(int row) = 0;
};

}  // namespace omrek
