#include "platform/WorkJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "platform/IoError.h"

namespace omrek {

namespace {

constexpr std::string_view kHeader = "omrek journal 2";
// Records of earlier versions: lengthened ones carry no trace.
constexpr std::string_view kEarlierHeader = "omrek journal 1";
constexpr std::string_view kEnd = "end\n";
constexpr std::string_view kUnfinishedWrite = ".new-";
constexpr std::string_view kDamaged = ".damaged";
// Far more than any record of a path the kernel can take needs.
constexpr std::size_t kLargestRecord = 1 << 20;

const char* KindName(JournalRecord::Kind kind) {
  switch (kind) {
    case JournalRecord::Kind::Lengthened:
      return "lengthened";
    case JournalRecord::Kind::Filler:
      return "filler";
    case JournalRecord::Kind::Renamed:
      return "renamed";
  }
  return "";
}

bool IsRecordName(std::string_view name) {
  return (name.starts_with("lengthened-") || name.starts_with("filler-") || name.starts_with("renamed-")) &&
         !name.ends_with(kDamaged);
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t at = 0; at < hex.size(); at += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(hex.data() + at, hex.data() + at + 2, value, 16);
    if (error != std::errc() || end != hex.data() + at + 2) return std::nullopt;
    bytes += static_cast<char>(value);
  }
  return bytes;
}

template <typename Number>
std::optional<Number> NumberOf(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<FileTime> TimeOf(std::string_view seconds, std::string_view nanoseconds) {
  const auto whole = NumberOf<std::int64_t>(seconds);
  const auto part = NumberOf<std::int64_t>(nanoseconds);
  if (!whole || !part) return std::nullopt;
  return FileTime{*whole, *part};
}

// Always of one length, so that Note can write it over the one before.
std::string TraceText(const JournalRecord::Trace& trace) {
  char text[160];
  std::snprintf(text, sizeof text,
                "changed-seconds %020lld\nchanged-nanoseconds %09lld\ntail %016llx\nlanding %d %016llx\n",
                static_cast<long long>(trace.changed.seconds), static_cast<long long>(trace.changed.nanoseconds),
                static_cast<unsigned long long>(trace.tail), trace.landing ? 1 : 0,
                static_cast<unsigned long long>(trace.landing.value_or(0)));
  return text;
}

std::optional<std::uint64_t> DigestOf(std::string_view hex) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
  if (hex.size() != 16 || error != std::errc() || end != hex.data() + hex.size()) return std::nullopt;
  return value;
}

std::optional<JournalRecord::Trace> TraceOf(std::string_view seconds, std::string_view nanoseconds,
                                            std::string_view tail, std::string_view landing) {
  const std::optional<FileTime> changed = TimeOf(seconds, nanoseconds);
  const std::optional<std::uint64_t> tailDigest = DigestOf(tail);
  if (!changed || changed->nanoseconds < 0 || changed->nanoseconds > 999999999 || !tailDigest || landing.size() != 18 ||
      (landing[0] != '0' && landing[0] != '1') || landing[1] != ' ') {
    return std::nullopt;
  }
  const std::optional<std::uint64_t> landingDigest = DigestOf(landing.substr(2));
  if (!landingDigest) return std::nullopt;
  JournalRecord::Trace trace{*changed, *tailDigest, std::nullopt};
  if (landing[0] == '1') trace.landing = *landingDigest;
  return trace;
}

std::string RenamedText(const JournalRecord::RenamedFile& file) {
  return "file " + std::to_string(file.inode) + ' ' + std::to_string(file.born.seconds) + ' ' +
         std::to_string(file.born.nanoseconds) + '\n';
}

// The files after a Renamed record's end, one a line; a last line cut short
// by a power cut is one whose rename never began.
std::optional<std::vector<JournalRecord::RenamedFile>> RenamedOf(std::string_view text) {
  std::vector<JournalRecord::RenamedFile> files;
  for (std::size_t newline = text.find('\n'); newline != std::string_view::npos; newline = text.find('\n')) {
    std::istringstream line{std::string(text.substr(0, newline))};
    text.remove_prefix(newline + 1);
    std::string word;
    std::string inode;
    std::string seconds;
    std::string nanoseconds;
    std::string extra;
    if (!(line >> word >> inode >> seconds >> nanoseconds) || word != "file" || (line >> extra)) return std::nullopt;
    const auto number = NumberOf<std::uint64_t>(inode);
    const auto born = TimeOf(seconds, nanoseconds);
    if (!number || !born) return std::nullopt;
    files.push_back({*number, *born});
  }
  return files;
}

std::string Text(const JournalRecord& record) {
  std::ostringstream text;
  text << kHeader << "\nkind " << KindName(record.kind) << "\nfile-system " << record.fileSystem << "\ninode "
       << record.inode << "\nborn-seconds " << record.born.seconds << "\nborn-nanoseconds " << record.born.nanoseconds
       << "\npath " << Hex(record.path) << '\n';
  if (record.kind == JournalRecord::Kind::Lengthened) {
    text << "length " << record.length << "\nlengthened-to " << record.lengthenedTo << "\ntime-seconds "
         << record.time.seconds << "\ntime-nanoseconds " << record.time.nanoseconds << '\n'
         << TraceText(*record.trace);
  }
  text << kEnd;
  for (const JournalRecord::RenamedFile& file : record.renamed) text << RenamedText(file);
  return text.str();
}

// The record `text` holds; nullopt for anything but a whole record written
// by Text, so a torn or foreign file is never taken for one.
std::optional<JournalRecord> Parse(std::string_view text) {
  std::map<std::string, std::string, std::less<>> fields;
  std::istringstream lines{std::string(text)};
  std::string line;
  if (!std::getline(lines, line) || (line != kHeader && line != kEarlierHeader)) return std::nullopt;
  const bool traced = line == kHeader;
  while (std::getline(lines, line) && line != "end") {
    const std::size_t space = line.find(' ');
    if (space == std::string::npos || !fields.emplace(line.substr(0, space), line.substr(space + 1)).second) {
      return std::nullopt;
    }
  }
  if (line != "end") return std::nullopt;
  const std::string_view rest =
      text.substr(std::min<std::size_t>(text.size(), static_cast<std::size_t>(lines.tellg())));
  const auto field = [&](std::string_view key) -> std::string_view {
    const auto found = fields.find(key);
    return found == fields.end() ? std::string_view() : found->second;
  };
  JournalRecord record;
  const std::string_view kind = field("kind");
  record.kind = kind == "filler"    ? JournalRecord::Kind::Filler
                : kind == "renamed" ? JournalRecord::Kind::Renamed
                                    : JournalRecord::Kind::Lengthened;
  const bool lengthened = record.kind == JournalRecord::Kind::Lengthened;
  const std::size_t expected = !lengthened ? 6 : traced ? 14 : 10;
  record.fileSystem = field("file-system");
  const auto inode = NumberOf<std::uint64_t>(field("inode"));
  const auto path = FromHex(field("path"));
  const auto born = TimeOf(field("born-seconds"), field("born-nanoseconds"));
  if (fields.size() != expected || (lengthened && kind != "lengthened") || !inode || !path || !born ||
      record.fileSystem.empty() || path->empty() || (record.kind != JournalRecord::Kind::Renamed && !rest.empty())) {
    return std::nullopt;
  }
  record.inode = *inode;
  record.path = *path;
  record.born = *born;
  if (record.kind == JournalRecord::Kind::Renamed) {
    std::optional<std::vector<JournalRecord::RenamedFile>> renamed = RenamedOf(rest);
    if (!renamed) return std::nullopt;
    record.renamed = std::move(*renamed);
    return record;
  }
  if (record.kind == JournalRecord::Kind::Filler) return record;
  const auto length = NumberOf<std::uint64_t>(field("length"));
  const auto lengthenedTo = NumberOf<std::uint64_t>(field("lengthened-to"));
  const auto time = TimeOf(field("time-seconds"), field("time-nanoseconds"));
  // A wipe lengthens a file to the end of its last cluster, far less than
  // this: a record saying more is damaged, and would have recovery read it.
  constexpr std::uint64_t kLongestSlack = std::uint64_t{1} << 30;
  if (!length || !lengthenedTo || !time || *lengthenedTo <= *length || *lengthenedTo - *length > kLongestSlack) {
    return std::nullopt;
  }
  record.length = *length;
  record.lengthenedTo = *lengthenedTo;
  record.time = *time;
  if (!traced) return record;
  record.trace = TraceOf(field("changed-seconds"), field("changed-nanoseconds"), field("tail"), field("landing"));
  if (!record.trace) return std::nullopt;
  return record;
}

// A name no other record of this or any other copy has.
std::string NewName(const JournalRecord& record) {
  static std::atomic<std::uint64_t> counter = 0;
  return std::string(KindName(record.kind)) + '-' + record.fileSystem + '-' + std::to_string(record.inode) + '-' +
         std::to_string(::getpid()) + '-' + std::to_string(++counter);
}

// False, with errno set, when not all of it could be written.
bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote == 0) errno = ENOSPC;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// False, with errno set, when not all of it could be written at `offset`.
bool WriteAllAt(int fd, const std::string& text, std::size_t offset) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(offset + done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote == 0) errno = ENOSPC;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

std::optional<std::string> ReadAll(int fd) {
  std::string text(kLargestRecord + 1, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t read = ::pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(got));
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return std::nullopt;
    if (read == 0) break;
    got += static_cast<std::size_t>(read);
  }
  if (got > kLargestRecord) return std::nullopt;
  text.resize(got);
  return text;
}

// Opens the entry `name` and locks it; -1 when it is gone, is no regular
// file of this user's with one name, or a running copy holds it. Locked,
// it is checked to be still what the name names: another start may have
// taken it meanwhile and removed it.
int OpenUnheld(int folder, const std::string& name) {
  const int fd = ::openat(folder, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  struct stat named {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1 ||
      ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      named.st_ino != st.st_ino || named.st_dev != st.st_dev) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::vector<std::string> EntryNames(const JournalFolder& folder) {
  std::vector<std::string> names;
  const int listing = ::openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) throw JournalError(folder.Path(), errno);
  DIR* entries = ::fdopendir(listing);
  if (entries == nullptr) {
    const int error = errno;
    ::close(listing);
    throw JournalError(folder.Path(), error);
  }
  while (const dirent* entry = ::readdir(entries)) names.emplace_back(entry->d_name);
  ::closedir(entries);
  return names;
}

}  // namespace

JournalEntry::JournalEntry(const JournalRecord& record) : folder_(JournalFolder::Shared()), name_(NewName(record)) {
  // A record a later start could not find its file by is no record.
  if (record.fileSystem.empty() || !record.path.starts_with('/')) {
    throw JournalError(folder_->Path(), "the file cannot be named for a later start");
  }
  if (record.kind == JournalRecord::Kind::Lengthened && !record.trace) {
    throw std::invalid_argument("a lengthened file's record needs its trace");
  }
  const std::string text = Text(record);
  if (record.trace) traceAt_ = text.size() - kEnd.size() - TraceText(*record.trace).size();
  end_ = text.size();
  const std::string unfinished = std::string(kUnfinishedWrite) + name_;
  fd_ = ::openat(folder_->Fd(), unfinished.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) throw JournalError(folder_->Path(), errno);
  // The record and its name are on the medium before the step it guards.
  // A name in use, however unlikely, is never taken over.
  const bool written = ::flock(fd_, LOCK_EX | LOCK_NB) == 0 && WriteAll(fd_, text) && ::fsync(fd_) == 0;
  const bool named =
      written && ::renameat2(folder_->Fd(), unfinished.c_str(), folder_->Fd(), name_.c_str(), RENAME_NOREPLACE) == 0;
  if (!named || ::fsync(folder_->Fd()) != 0) {
    const int error = errno;
    ::unlinkat(folder_->Fd(), named ? name_.c_str() : unfinished.c_str(), 0);
    ::close(fd_);
    throw JournalError(folder_->Path(), error);
  }
}

JournalEntry::JournalEntry(JournalEntry&& other) noexcept
    : folder_(std::move(other.folder_)),
      fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      traceAt_(other.traceAt_),
      end_(other.end_) {}

JournalEntry::~JournalEntry() {
  if (fd_ >= 0) ::close(fd_);
}

void JournalEntry::Done() {
  if (fd_ < 0) return;
  // Left behind, the record only makes the next start find its file put
  // back already.
  ::unlinkat(folder_->Fd(), name_.c_str(), 0);
  ::close(fd_);
  fd_ = -1;
}

void JournalEntry::Note(const JournalRecord::Trace& trace, bool flush) {
  if (fd_ < 0 || traceAt_ == 0) throw std::logic_error("no record of a lengthened file to note in");
  if (!WriteAllAt(fd_, TraceText(trace), traceAt_) || (flush && ::fdatasync(fd_) != 0)) {
    throw JournalError(folder_->Path(), errno);
  }
}

void JournalEntry::Add(const JournalRecord::RenamedFile& file) {
  if (fd_ < 0) throw std::logic_error("no record to add to");
  const std::string line = RenamedText(file);
  if (!WriteAllAt(fd_, line, end_)) throw JournalError(folder_->Path(), errno);
  end_ += line.size();
}

UnfinishedSteps TakeUnfinishedSteps(const std::function<bool(const JournalRecord&)>& putRight) {
  const JournalFolder folder = JournalFolder::Open();
  UnfinishedSteps found;
  for (const std::string& name : EntryNames(folder)) {
    const bool unfinishedWrite = name.starts_with(kUnfinishedWrite);
    if (!unfinishedWrite && !IsRecordName(name)) continue;
    const int fd = OpenUnheld(folder.Fd(), name);
    if (fd < 0) continue;
    // A record its writer never finished guards a step that never began.
    const std::optional<std::string> text = unfinishedWrite ? std::nullopt : ReadAll(fd);
    const std::optional<JournalRecord> record = text ? Parse(*text) : std::nullopt;
    if (unfinishedWrite || (record && putRight(*record))) {
      ::unlinkat(folder.Fd(), name.c_str(), 0);
    } else if (!record) {
      const std::string setAside = name + std::string(kDamaged);
      ::renameat(folder.Fd(), name.c_str(), folder.Fd(), setAside.c_str());
      found.damaged.push_back(folder.Path() + "/" + setAside);
    }
    ::close(fd);
  }
  return found;
}

}  // namespace omrek
