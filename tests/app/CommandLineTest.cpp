#include "app/cli/CommandLine.h"

#include <gtest/gtest.h>

namespace omrek {
namespace {

using Mode = CommandLine::Mode;

TEST(ParseCommandLine, FilesAloneOpenTheWindowWithThemListed) {
  const CommandLine line = ParseCommandLine({"a", "b\xff", "-"});
  EXPECT_EQ(line.mode, Mode::Window);
  EXPECT_EQ(line.paths, (std::vector<std::string>{"a", "b\xff", "-"})) << "bytes as given";
  EXPECT_FALSE(line.Headless());
  EXPECT_EQ(ParseCommandLine({}).mode, Mode::Window);
}

TEST(ParseCommandLine, CommandsWithTheirPathsAndOptions) {
  const CommandLine destroy = ParseCommandLine({"--destroy", "x", "--settings", "s.ini", "y"});
  EXPECT_EQ(destroy.mode, Mode::Destroy);
  EXPECT_EQ(destroy.paths, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(destroy.settingsFile, "s.ini");
  EXPECT_TRUE(destroy.Headless());

  EXPECT_EQ(ParseCommandLine({"--wipe-slack", "--settings=t.ini", "x"}).settingsFile, "t.ini");
  const CommandLine space = ParseCommandLine({"--wipe-space", "--yes", "/mnt"});
  EXPECT_EQ(space.mode, Mode::WipeSpace);
  EXPECT_TRUE(space.yes);
  EXPECT_EQ(ParseCommandLine({"--recover"}).mode, Mode::Recover);
  EXPECT_FALSE(space.waitSeconds) << "a busy drive is refused at once";
  EXPECT_EQ(ParseCommandLine({"--wipe-space", "--wait", "600", "/mnt"}).waitSeconds, 600u);
  EXPECT_EQ(ParseCommandLine({"--wait=0", "--wipe-space", "/mnt"}).waitSeconds, 0u);
  EXPECT_EQ(ParseCommandLine({"--destroy", "--", "--yes", "-f"}).paths, (std::vector<std::string>{"--yes", "-f"}))
      << "after --, names that look like options are files";
}

TEST(ParseCommandLine, HelpAndVersionAnswerWhateverElseIsGiven) {
  EXPECT_EQ(ParseCommandLine({"--help"}).mode, Mode::Help);
  EXPECT_EQ(ParseCommandLine({"-h", "file"}).mode, Mode::Help);
  EXPECT_EQ(ParseCommandLine({"--version", "--destroy"}).mode, Mode::Version);
  EXPECT_EQ(ParseCommandLine({"--bogus", "--help"}).mode, Mode::Help);
  EXPECT_EQ(ParseCommandLine({"--", "--help"}).mode, Mode::Window) << "a file named --help";
  EXPECT_NE(UsageText().find("--wipe-space [--yes]"), std::string::npos);
}

TEST(ParseCommandLine, WhatCannotBeFollowedSaysWhy) {
  const auto error = [](const std::vector<std::string>& arguments) {
    try {
      ParseCommandLine(arguments);
    } catch (const UsageError& usage) {
      return std::string(usage.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(error({"--shred", "x"}), "unknown option --shred");
  EXPECT_EQ(error({"--destroy"}), "nothing to do: name the files");
  EXPECT_EQ(error({"--wipe-space"}), "--wipe-space needs a path on each drive to wipe");
  EXPECT_EQ(error({"--destroy", "x", "--wipe-slack"}), "only one command at a time: --wipe-slack");
  EXPECT_EQ(error({"--destroy", "x", "--settings"}), "--settings needs a file");
  EXPECT_EQ(error({"--settings", "s.ini", "x"}), "--settings goes with --destroy, --wipe-slack or --wipe-space");
  EXPECT_EQ(error({"--destroy", "--yes", "x"}), "--yes goes with --wipe-space");
  EXPECT_EQ(error({"--recover", "x"}), "--recover takes no paths");
  EXPECT_EQ(error({"--recover", "--verify"}), "--verify and --report go with --destroy, --wipe-slack or --wipe-space");
  EXPECT_EQ(error({"--destroy", "--wait", "5", "x"}), "--wait goes with --wipe-space");
  EXPECT_EQ(error({"--wipe-space", "/mnt", "--wait"}), "--wait needs a whole number of seconds");
  for (const char* bad : {"-1", "1.5", "10s", "+3", "99999999999"}) {
    EXPECT_EQ(error({"--wipe-space", "--wait", bad, "/mnt"}),
              std::string("--wait needs a whole number of seconds, not ") + bad);
  }
}

}  // namespace
}  // namespace omrek
