#include "app/cli/CommandRows.h"

#include <algorithm>
#include <stdexcept>

namespace omrek {

class CommandRows::Handle : public TargetRows::RowHandle {
 public:
  Handle(const CommandRows& rows, int id) : rows_(rows), id_(id) {}
  int Index() const override { return rows_.IndexOf(id_); }

 private:
  const CommandRows& rows_;
  int id_;
};

CommandRows::CommandRows(std::vector<ListedFile> files) {
  int id = static_cast<int>(files.size());
  after_.reserve(files.size());
  for (auto file = files.rbegin(); file != files.rend(); ++file) after_.push_back({std::move(*file), --id});
}

const CommandRows::Row& CommandRows::At(int row) const {
  if (row < 0 || row >= RowCount()) throw std::out_of_range("no such row");
  const auto index = static_cast<std::size_t>(row);
  if (index < before_.size()) return before_[index];
  return after_[after_.size() - 1 - (index - before_.size())];
}

void CommandRows::MoveGapTo(std::size_t row) {
  while (before_.size() > row) {
    after_.push_back(std::move(before_.back()));
    before_.pop_back();
  }
  while (before_.size() < row) {
    before_.push_back(std::move(after_.back()));
    after_.pop_back();
  }
}

void CommandRows::DeleteRow(int row) {
  At(row);
  MoveGapTo(static_cast<std::size_t>(row));
  after_.pop_back();
}

std::unique_ptr<TargetRows::RowHandle> CommandRows::HandleOf(int row) {
  return std::make_unique<Handle>(*this, At(row).id);
}

int CommandRows::IndexOf(int id) const {
  // A command asks for the row it is at, which sits at the gap: no search.
  if (!after_.empty() && after_.back().id == id) return static_cast<int>(before_.size());
  if (!before_.empty() && before_.back().id == id) return static_cast<int>(before_.size() - 1);
  const auto byId = [](const Row& row, int sought) { return row.id < sought; };
  const auto early = std::lower_bound(before_.begin(), before_.end(), id, byId);
  if (early != before_.end() && early->id == id) return static_cast<int>(early - before_.begin());
  const auto late = std::lower_bound(after_.rbegin(), after_.rend(), id, byId);
  if (late != after_.rend() && late->id == id) return static_cast<int>(before_.size() + (late - after_.rbegin()));
  return -1;
}

}  // namespace omrek
