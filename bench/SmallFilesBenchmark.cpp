// Destroys many small files (1 to 8 KiB, one zero pass) in the same run:
// through the real main window (offscreen), with the engine called
// directly with names wiped and with names kept, and as the least any tool
// must do (overwrite to the cluster end, one fsync, delete). Prints files
// per second, each figure as a ratio of the engine's with names kept, and
// the peak memory. With LARGE, the engine with names kept also destroys
// LARGE files, and the time that takes is printed as a ratio of FILES'.
//
//   omrek_bench_small_files FOLDER [FILES] [ROUNDS] [LARGE]   (defaults 10000, 3, none)
//
// Run it with QT_QPA_PLATFORM=offscreen where there is no display.

#include <QApplication>
#include <QCheckBox>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/OmrekProgram.h"
#include "bench/BenchFigures.h"
#include "bench/SilentMonitor.h"
#include "engine/FileDestruction.h"
#include "engine/WorkTotal.h"
#include "intake/ui/TargetListView.h"
#include "platform/FileHandle.h"
#include "platform/WavePlayer.h"
#include "widgets/FlatButton.h"

namespace {

using namespace omrek;

constexpr std::uint32_t kCluster = 4096;

// Rows kept in a deque: the engine alone should not pay for a list.
class DequeRows : public TargetRows {
 public:
  explicit DequeRows(const std::vector<std::string>& paths) {
    for (const auto& path : paths) files_.push_back(ListFile(path));
  }
  int RowCount() const override { return static_cast<int>(files_.size()); }
  ListedFile RowFile(int row) const override { return files_[static_cast<std::size_t>(row)]; }
  void SetRowState(int, const std::string&) override {}
  void DeleteRow(int row) override { files_.erase(files_.begin() + row); }
  std::unique_ptr<RowHandle> HandleOf(int row) override { return std::make_unique<Fixed>(row); }

 private:
  class Fixed : public RowHandle {
   public:
    explicit Fixed(int row) : row_(row) {}
    int Index() const override { return row_; }

   private:
    int row_;
  };
  std::deque<ListedFile> files_;
};

std::vector<std::string> MakeFiles(const std::string& folder, int count) {
  std::filesystem::create_directories(folder);
  std::vector<std::string> paths;
  std::vector<std::uint8_t> bytes(8192, 0x6B);
  for (int i = 0; i < count; ++i) {
    paths.push_back(folder + "/f" + std::to_string(i));
    FileHandle file = FileHandle::Create(paths.back());
    file.WriteAt(bytes.data(), 1024 + static_cast<std::size_t>(i * 977) % 7169, 0);
  }
  // Written and on the disk before any timing starts.
  FileHandle::OpenExisting(paths.front(), FileHandle::Access::Read).FlushFileSystem();
  return paths;
}

StoredWipeProfile OneZeroPass() {
  StoredWipeProfile profile;
  profile.inversion = profile.randomize = profile.nullify2 = profile.nullifyCustom = false;
  return profile;
}

double ThroughEngine(const std::vector<std::string>& paths, bool wipeNames) {
  ShredEngine engine;
  SilentMonitor monitor(engine);
  const StoredWipeProfile profile = OneZeroPass();
  WavePlayer noSound;
  DequeRows rows(paths);
  DestroyOptions options;
  options.wipeNames = wipeNames;
  return SecondsOf([&] { FileDestruction(engine, monitor, profile, noSound, options).DestroyListedFiles(rows); });
}

double OneFsyncEach(const std::vector<std::string>& paths) {
  std::vector<std::uint8_t> zeros(8192, 0);
  return SecondsOf([&] {
    for (const auto& path : paths) {
      FileHandle file = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
      const auto bytes = static_cast<std::size_t>(SectorsToClusterEnd(file.Size(), kCluster) * 512);
      file.WriteAt(zeros.data(), bytes, 0);
      file.Flush();
      file.SetLength(0);
      file.Close();
      FileHandle::Delete(path);
    }
  });
}

std::vector<std::uint8_t> SoundBesideProgram(const std::string& benchPath) {
  const auto wave = std::filesystem::path(benchPath).parent_path().parent_path() / "whoose.wav";
  std::ifstream in(wave, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The window's control named `name`, found as tests find it.
template <class T>
T& Control(TfrmMain& main, const char* name) {
  T* control = main.findChild<T*>(QString::fromLatin1(name));
  if (control == nullptr) throw std::logic_error(std::string("the main window has no ") + name);
  return *control;
}

double ThroughWindow(OmrekProgram& program, const std::vector<std::string>& paths) {
  TargetListView& list = Control<TargetListView>(program.Main(), "lstView");
  for (const auto& path : paths) list.AppendTarget(path);
  const double seconds = SecondsOf([&] { Control<FlatButton>(program.Main(), "btnDestroy").click(); });
  if (list.RowCount() != 0) std::fprintf(stderr, "%d rows were left in the list\n", list.RowCount());
  return seconds;
}

void Report(const char* name, int files, const std::vector<double>& seconds, double engineRate) {
  const double rate = files / Median(seconds);
  std::printf("%-34s %8.0f files/s", name, rate);
  if (engineRate > 0) std::printf("   %.2f of the engine alone, names kept", rate / engineRate);
  std::printf("\n");
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: omrek_bench_small_files FOLDER [FILES] [ROUNDS]\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/omrek-small-files";
  const int files = argc > 2 ? std::stoi(argv[2]) : 10000;
  const int rounds = argc > 3 ? std::stoi(argv[3]) : 3;
  const int large = argc > 4 ? std::stoi(argv[4]) : 0;

  OmrekProgram program;
  program.Start();
  // The file-mode options as the user would set them: one zero pass.
  for (const char* name : {"chkInvert", "chkRandomize", "chkNullify2", "chkNullifyCustom", "chkDOD"}) {
    program.Config().findChild<QCheckBox*>(name)->setChecked(false);
  }
  program.Config().findChild<QCheckBox*>("chkNullify1")->setChecked(true);
  program.Main().Wave1.Load(SoundBesideProgram(argv[0]));

  std::vector<double> window, wiped, kept, fsyncEach, keptLarge;
  try {
    for (int round = 0; round < rounds; ++round) {
      window.push_back(ThroughWindow(program, MakeFiles(folder, files)));
      wiped.push_back(ThroughEngine(MakeFiles(folder, files), true));
      kept.push_back(ThroughEngine(MakeFiles(folder, files), false));
      fsyncEach.push_back(OneFsyncEach(MakeFiles(folder, files)));
      if (large > 0) keptLarge.push_back(ThroughEngine(MakeFiles(folder, large), false));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    std::filesystem::remove_all(folder);
    return 1;
  }
  std::filesystem::remove_all(folder);

  std::printf("%d files of 1-8 KiB in %s, one zero pass, median of %d\n", files, argv[1], rounds);
  const double engineRate = files / Median(kept);
  Report("main window (offscreen), Destroy", files, window, engineRate);
  Report("engine alone, names wiped", files, wiped, engineRate);
  Report("engine alone, names kept", files, kept, 0);
  Report("overwrite + fsync + delete each", files, fsyncEach, engineRate);
  if (large > 0) {
    std::printf("engine alone, names kept, %d files: %.2f s, %.2f x the time of %d (work %.1f x)\n", large,
                Median(keptLarge), Median(keptLarge) / Median(kept), files, static_cast<double>(large) / files);
  }
  std::printf("peak memory %.0f MiB\n", PeakMemoryMiB());
  return 0;
}
