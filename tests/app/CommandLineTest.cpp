#include "app/cli/CommandLine.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "app/cli/CommandRows.h"
#include "app/cli/FileManagerScripts.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"

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
  EXPECT_FALSE(destroy.recursive);
  EXPECT_TRUE(ParseCommandLine({"--destroy", "-r", "dir"}).recursive);
  EXPECT_TRUE(ParseCommandLine({"--recursive", "--wipe-slack", "dir"}).recursive);
  EXPECT_EQ(ParseCommandLine({"--destroy", "--", "-r"}).paths, std::vector<std::string>{"-r"});
  const CommandLine follow = ParseCommandLine({"--destroy", "-r", "--then-wipe-space", "--yes", "--wait", "9", "d"});
  EXPECT_TRUE(follow.thenWipeSpace && follow.yes && follow.recursive);
  EXPECT_EQ(follow.waitSeconds, 9u);
}

TEST(ParseCommandLine, HelpAndVersionAnswerWhateverElseIsGiven) {
  EXPECT_EQ(ParseCommandLine({"--help"}).mode, Mode::Help);
  EXPECT_EQ(ParseCommandLine({"-h", "file"}).mode, Mode::Help);
  EXPECT_EQ(ParseCommandLine({"--version", "--destroy"}).mode, Mode::Version);
  EXPECT_EQ(ParseCommandLine({"--bogus", "--help"}).mode, Mode::Help);
  EXPECT_EQ(ParseCommandLine({"--", "--help"}).mode, Mode::Window) << "a file named --help";
  EXPECT_NE(UsageText().find("--wipe-space [--yes]"), std::string::npos);
  EXPECT_NE(UsageText().find("--destroy [-r]"), std::string::npos);
  EXPECT_EQ(ParseCommandLine({"--install-file-manager-actions"}).mode, Mode::InstallFileManagerActions);
}

TEST(UsageText, SaysWhereToReportProblemsOnlyWhereThereIsAPlace) {
  EXPECT_EQ(UsageText("").find("Report problems"), std::string::npos);
  const std::string text = UsageText("https://bugs.invalid/omrek");
  EXPECT_TRUE(text.ends_with("\nReport problems at https://bugs.invalid/omrek.\n")) << text;
  // The built program's help names what the build was configured with.
  std::ifstream cache(std::filesystem::path(OMREK_PROGRAM).parent_path() / "CMakeCache.txt");
  std::string line;
  std::optional<std::string> configured;
  while (std::getline(cache, line)) {
    if (line.starts_with("OMREK_REPORT_ADDRESS:STRING=")) configured = line.substr(line.find('=') + 1);
  }
  ASSERT_TRUE(configured.has_value()) << "OMREK_REPORT_ADDRESS is in the build's cache";
  // OutputOf drops the last line's newline.
  EXPECT_EQ(test::OutputOf(std::string("'") + OMREK_PROGRAM + "' --help") + "\n", UsageText(*configured))
      << "the configured address, or none";
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
  EXPECT_EQ(error({"--destroy", "--yes", "x"}), "--yes goes with --wipe-space or --then-wipe-space");
  EXPECT_EQ(error({"--wipe-slack", "--then-wipe-space", "x"}), "--then-wipe-space goes with --destroy");
  EXPECT_EQ(error({"--wipe-space", "--yes", ""}), "an empty argument names no path");
  EXPECT_EQ(error({"--destroy", "x", ""}), "an empty argument names no path");
  EXPECT_EQ(error({"--recover", "x"}), "--recover takes no paths");
  EXPECT_EQ(error({"--install-file-manager-actions", "x"}), "--install-file-manager-actions takes no paths");
  EXPECT_EQ(error({"--recover", "--verify"}), "--verify and --report go with --destroy, --wipe-slack or --wipe-space");
  EXPECT_EQ(error({"--destroy", "--wait", "5", "x"}), "--wait goes with --wipe-space or --then-wipe-space");
  EXPECT_EQ(error({"-r", "dir"}), "-r goes with --destroy or --wipe-slack");
  EXPECT_EQ(error({"--wipe-space", "-r", "/mnt"}), "-r goes with --destroy or --wipe-slack");
  EXPECT_EQ(error({"--wipe-space", "/mnt", "--wait"}), "--wait needs a whole number of seconds");
  for (const char* bad : {"-1", "1.5", "10s", "+3", "99999999999"}) {
    EXPECT_EQ(error({"--wipe-space", "--wait", bad, "/mnt"}),
              std::string("--wait needs a whole number of seconds, not ") + bad);
  }
}

// The scripts land where Nautilus and Caja look, replacing an earlier copy,
// and hand the program the selection as whole paths, whatever the names.
TEST(InstallFileManagerScripts, ScriptsListTheSelectionAsWholePaths) {
  namespace fs = std::filesystem;
  test::TempDir home;
  // Stands in for the program: it writes down the arguments it was given.
  const std::string program = test::WriteFile(home.File("it's a program"), "#!/bin/sh\nprintf '[%s]' \"$@\"\n");
  fs::permissions(program, fs::perms::owner_all);
  const std::string nautilus = home.File(".local/share/nautilus/scripts/Shred with Omrek");
  fs::create_directories(fs::path(nautilus).parent_path());
  test::WriteFile(nautilus, "an earlier copy");
  const std::string caja = home.File("config/caja/scripts/Shred with Omrek");

  const auto written = InstallFileManagerScripts(program, {home.File("config"), home.Path(), "relative/is/ignored"});
  EXPECT_EQ(written, (std::vector<std::string>{nautilus, caja}));
  EXPECT_EQ(fs::status(home.File("config")).permissions(), fs::perms::owner_all) << "made private";
  for (const std::string& script : written) {
    EXPECT_EQ(test::ReadWholeFile(script), FileManagerScript(program));
    EXPECT_NE(fs::status(script).permissions() & fs::perms::owner_exec, fs::perms::none);
    const std::string shown = home.File("shown");
    fs::create_directories(shown);
    EXPECT_EQ(test::OutputOf("cd '" + shown + "' && '" + script + "' 'a b' /elsewhere/c -d \"$(printf 'e\\377')\""),
              "[--][" + shown + "/a b][/elsewhere/c][" + shown + "/-d][" + shown + "/e\xff]");
  }
}

// Run as root with a user's HOME, a link or someone else's folder on the way
// must not steer the script onto another file.
TEST(InstallFileManagerScripts, NeverWritesThroughALinkOrAnotherUsersFolder) {
  namespace fs = std::filesystem;
  test::TempDir home;
  const std::string victim = test::WriteFile(home.File("victim"), "keep me");
  fs::permissions(victim, fs::perms::owner_read | fs::perms::owner_write);
  const auto victimIsUntouched = [&] {
    EXPECT_EQ(test::ReadWholeFile(victim), "keep me");
    EXPECT_EQ(fs::status(victim).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  };
  const auto refusal = [&](const UserFolders& user) {
    try {
      InstallFileManagerScripts("/bin/true", user);
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string("installed");
  };

  const std::string linkedScript = home.File("a/nautilus/scripts/Shred with Omrek");
  fs::create_directories(fs::path(linkedScript).parent_path());
  fs::create_symlink(victim, linkedScript);
  EXPECT_EQ(refusal({home.File("b"), home.Path(), home.File("a")}), "the file " + linkedScript + " is a symbolic link");
  victimIsUntouched();
  EXPECT_TRUE(fs::is_symlink(linkedScript));

  fs::create_directories(home.File("elsewhere"));
  fs::create_directory_symlink(home.File("elsewhere"), home.File("linked"));
  ASSERT_EQ(::lchown(home.File("linked").c_str(), 65534, 65534), 0) << "the user's link, not root's";
  EXPECT_EQ(refusal({home.File("linked"), home.Path(), home.File("c")}),
            "the folder " + home.File("linked") + " is a symbolic link");
  EXPECT_FALSE(fs::exists(home.File("elsewhere/caja"))) << "nothing made behind the link";

  fs::create_directories(home.File("theirs"));
  ASSERT_EQ(::chown(home.File("theirs").c_str(), 65534, 65534), 0);
  EXPECT_EQ(refusal({home.File("theirs/config"), home.Path(), home.File("d")}),
            "the folder " + home.File("theirs") + " belongs to another user (uid 65534)");
  EXPECT_FALSE(fs::exists(home.File("theirs/config")));

  fs::remove(linkedScript);
  EXPECT_EQ(InstallFileManagerScripts("/bin/true", {home.File("e"), home.Path(), home.File("a")}).size(), 2u)
      << "the install works once the link is gone";
  EXPECT_EQ(fs::status(linkedScript).permissions(), fs::perms(0755));
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(linkedScript).parent_path()), fs::directory_iterator()), 1)
      << "no new copy left beside the script";
  victimIsUntouched();
}

std::vector<std::string> PathsOf(const TargetRows& rows) {
  std::vector<std::string> paths;
  for (int row = 0; row < rows.RowCount(); ++row) paths.push_back(rows.RowFile(row).path);
  return paths;
}

TEST(CommandRows, RowsGoAnywhereAndHandlesFollowTheirOwn) {
  std::vector<ListedFile> files;
  for (const char* path : {"a", "b", "c", "d", "e", "f"}) files.push_back({path, path, std::nullopt});
  CommandRows rows(std::move(files));
  const auto c = rows.HandleOf(2);
  const auto f = rows.HandleOf(5);

  // As a walk deletes them: at the same place, then one further on.
  rows.DeleteRow(0);
  rows.DeleteRow(0);
  EXPECT_EQ(PathsOf(rows), (std::vector<std::string>{"c", "d", "e", "f"}));
  EXPECT_EQ(c->Index(), 0);
  rows.DeleteRow(1);
  EXPECT_EQ(PathsOf(rows), (std::vector<std::string>{"c", "e", "f"}));
  EXPECT_EQ(f->Index(), 2);

  // Back up the list and at its end.
  rows.DeleteRow(2);
  EXPECT_EQ(f->Index(), -1) << "a deleted row's handle finds nothing";
  rows.DeleteRow(0);
  EXPECT_EQ(c->Index(), -1);
  EXPECT_EQ(PathsOf(rows), (std::vector<std::string>{"e"}));
  EXPECT_EQ(rows.HandleOf(0)->Index(), 0);
  EXPECT_THROW(rows.DeleteRow(1), std::out_of_range);
  EXPECT_THROW(rows.RowFile(-1), std::out_of_range);
  rows.DeleteRow(0);
  EXPECT_EQ(rows.RowCount(), 0);
}

}  // namespace
}  // namespace omrek
