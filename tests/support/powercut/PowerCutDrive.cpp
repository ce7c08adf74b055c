// omrek-power-cut-drive BACKING MOUNTPOINT: serves one file, "image", whose
// bytes are those of BACKING, for a test to loop-mount as a drive. SIGUSR1
// cuts the drive's power: from then on writes are answered as done but no
// longer stored, as a disk whose cache died with the power while the kernel
// still believed it wrote. Reads keep answering what was stored.
//
// Runs in the foreground on one thread, so every request is handled after
// the one before it: a request read after the signal arrived never reaches
// BACKING. Once mounted it writes one byte to descriptor 3, so that its
// starter knows the drive is there without polling for it.

#define FUSE_USE_VERSION 31

#include <fcntl.h>
#include <fuse3/fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kImagePath = "/image";
constexpr int kReadyDescriptor = 3;

int backing = -1;
std::atomic<bool> powerCut = false;

void CutPower(int) { powerCut = true; }

int GetAttributes(const char* path, struct stat* attributes, fuse_file_info*) {
  std::memset(attributes, 0, sizeof *attributes);
  if (std::strcmp(path, "/") == 0) {
    attributes->st_mode = S_IFDIR | 0755;
    attributes->st_nlink = 2;
    return 0;
  }
  if (std::strcmp(path, kImagePath) != 0) return -ENOENT;
  struct stat stored;
  if (::fstat(backing, &stored) != 0) return -errno;
  attributes->st_mode = S_IFREG | 0644;
  attributes->st_nlink = 1;
  attributes->st_size = stored.st_size;
  return 0;
}

int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
  if (std::strcmp(path, "/") != 0) return -ENOENT;
  fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
  fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
  fill(buffer, kImagePath + 1, nullptr, 0, fuse_fill_dir_flags{});
  return 0;
}

// Direct I/O: no page cache of the kernel's holds a write the drive never
// stored, and every write reaches this daemon.
int Open(const char* path, fuse_file_info* file) {
  if (std::strcmp(path, kImagePath) != 0) return -ENOENT;
  file->direct_io = 1;
  file->keep_cache = 0;
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info*) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(backing, buffer + done, size - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -errno;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int>(done);
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info*) {
  if (powerCut) return static_cast<int>(size);
  size_t done = 0;
  while (done < size) {
    const ssize_t put = ::pwrite(backing, buffer + done, size - done, offset + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return -errno;
    done += static_cast<size_t>(put);
  }
  return static_cast<int>(size);
}

// The loop driver turns discards and zeroed ranges into these.
int Allocate(const char*, int mode, off_t offset, off_t length, fuse_file_info*) {
  if (powerCut) return 0;
  return ::fallocate(backing, mode, offset, length) == 0 ? 0 : -errno;
}

// What was stored sits in BACKING already; the host keeps its power.
int Flush(const char*, fuse_file_info*) { return 0; }
int Sync(const char*, int, fuse_file_info*) { return 0; }

fuse_operations Operations() {
  fuse_operations operations{};
  operations.getattr = GetAttributes;
  operations.readdir = ReadFolder;
  operations.open = Open;
  operations.read = Read;
  operations.write = Write;
  operations.fallocate = Allocate;
  operations.flush = Flush;
  operations.fsync = Sync;
  return operations;
}

bool CatchPowerCut() {
  struct sigaction action {};
  action.sa_handler = CutPower;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  return ::sigaction(SIGUSR1, &action, nullptr) == 0;
}

void SayReady() {
  const char ready = 1;
  if (::write(kReadyDescriptor, &ready, 1) != 1) std::perror("omrek-power-cut-drive: ready");
  ::close(kReadyDescriptor);
}

int Serve(const char* mountPoint) {
  char* arguments[] = {const_cast<char*>("omrek-power-cut-drive"), nullptr};
  fuse_args args = FUSE_ARGS_INIT(1, arguments);
  const fuse_operations operations = Operations();
  fuse* drive = fuse_new(&args, &operations, sizeof operations, nullptr);
  if (drive == nullptr) return 1;
  int status = 1;
  if (fuse_mount(drive, mountPoint) == 0) {
    if (fuse_set_signal_handlers(fuse_get_session(drive)) == 0) {
      SayReady();
      status = fuse_loop(drive) == 0 ? 0 : 1;
      fuse_remove_signal_handlers(fuse_get_session(drive));
    }
    fuse_unmount(drive);
  }
  fuse_destroy(drive);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: omrek-power-cut-drive BACKING MOUNTPOINT\n");
    return 2;
  }
  backing = ::open(argv[1], O_RDWR | O_CLOEXEC);
  if (backing < 0) {
    std::perror(argv[1]);
    return 1;
  }
  if (!CatchPowerCut()) return 1;
  return Serve(argv[2]);
}
