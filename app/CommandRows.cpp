#include "app/CommandRows.h"

namespace omrek {

class CommandRows::Handle : public TargetRows::RowHandle {
 public:
  Handle(const CommandRows& rows, int id) : rows_(rows), id_(id) {}
  int Index() const override { return rows_.IndexOf(id_); }

 private:
  const CommandRows& rows_;
  int id_;
};

CommandRows::CommandRows(std::vector<ListedFile> files, Report report) : report_(std::move(report)) {
  int id = 0;
  for (ListedFile& file : files) rows_.push_back({std::move(file), id++});
}

void CommandRows::SetRowState(int row, const std::string& text) {
  rows_.at(row).reported = true;
  report_(rows_.at(row).file, text);
}

void CommandRows::DeleteRow(int row) {
  const ListedFile file = rows_.at(row).file;
  rows_.erase(rows_.begin() + row);
  report_(file, {});
}

std::unique_ptr<TargetRows::RowHandle> CommandRows::HandleOf(int row) {
  return std::make_unique<Handle>(*this, rows_.at(row).id);
}

std::vector<ListedFile> CommandRows::Unreported() const {
  std::vector<ListedFile> files;
  for (const Row& row : rows_) {
    if (!row.reported) files.push_back(row.file);
  }
  return files;
}

int CommandRows::IndexOf(int id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace omrek
