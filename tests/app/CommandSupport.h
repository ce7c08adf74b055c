#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "disk/ui/DiskList.h"
#include "platform/DriveTable.h"

namespace omrek::test {

// A short 8-bit mono wave, 8000 samples a second.
inline std::vector<std::uint8_t> WaveImage(std::uint32_t samples) {
  std::vector<std::uint8_t> image;
  const auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) image.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const auto put16 = [&](std::uint16_t v) {
    image.push_back(static_cast<std::uint8_t>(v));
    image.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto tag = [&](const char* text) {
    for (int i = 0; i < 4; ++i) image.push_back(static_cast<std::uint8_t>(text[i]));
  };
  tag("RIFF");
  put32(36 + samples);
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);
  put16(1);
  put32(8000);
  put32(8000);
  put16(1);
  put16(8);
  tag("data");
  put32(samples);
  for (std::uint32_t i = 0; i < samples; ++i) image.push_back(static_cast<std::uint8_t>(128 + (i % 32) * 2));
  return image;
}

// Selects in lstDisk only the drive mounted at `root`: a test must never
// wipe a real drive of the machine, which the list preselects.
inline void SelectOnly(TDiskListView& drives, const std::string& root) {
  drives.RefreshDrives();
  drives.clearSelection();
  const DriveTable table = DriveTable::Read();
  const QString name = QString::fromStdString(table.Find(table.LetterOf(root))->DisplayName());
  const auto items = drives.findItems(name, Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1);
  items.first()->setSelected(true);
  ASSERT_EQ(drives.SelectedDriveLetters(), QString(QChar(table.LetterOf(root))));
}

}  // namespace omrek::test
