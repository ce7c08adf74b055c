#pragma once

#include <optional>
#include <string>

namespace omrek {

// A journaling file system logs a folder's block each time it changes, so a
// deleted file's names and old metadata outlive it in the journal until the
// journal wraps around. ext4 (Linux 5.14 and later) writes its journal out
// and zeroes it on request, for root only.

// Clears the journal of the file system holding `folder`. Returns why the
// journal may still hold names and old metadata; nothing when it was
// cleared or the file system keeps no journal of them.
std::optional<std::string> ClearJournal(const std::string& folder);

// The same answer without clearing anything: what a command there would
// leave in the journal.
std::optional<std::string> JournalLeftUncleared(const std::string& folder);

// Writes the metadata the journal holds to its places on the disk, where it
// can (ext4, root): a block given to a file and taken back before the
// journal reached it there still holds what it held before. Elsewhere it
// does nothing.
void WriteJournalOut(const std::string& folder);

// The answer for a program asked to end, which leaves even a journal it
// could clear as it is: zeroing it may take the kernel seconds.
std::optional<std::string> JournalLeftByEnding(const std::string& folder);

}  // namespace omrek
