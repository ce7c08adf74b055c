#include "app/cli/CommandRows.h"

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
  int id = 0;
  for (ListedFile& file : files) rows_.push_back({std::move(file), id++});
}

void CommandRows::DeleteRow(int row) { rows_.erase(rows_.begin() + row); }

std::unique_ptr<TargetRows::RowHandle> CommandRows::HandleOf(int row) {
  return std::make_unique<Handle>(*this, rows_.at(row).id);
}

int CommandRows::IndexOf(int id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace omrek
