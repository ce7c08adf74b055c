#pragma once

#include <sys/types.h>

#include <string>

namespace omrek::test {

// Whether the build has the tests' FUSE daemon (powercut/PowerCutDrive.cpp):
// it needs libfuse3.
bool FuseDriveBuilt();

// Forks and runs the daemon serving the file `backing` at `mountPoint`, then
// waits for its word that it is mounted; a daemon that fails closes the pipe
// without a word. With `endWithParent`, the daemon is killed when the
// process that started it ends, stopped or not. Returns its pid, or -1 when
// it did not mount.
pid_t StartFuseDrive(const std::string& backing, const std::string& mountPoint, bool endWithParent);

// Waits for a child to end.
void Reap(pid_t pid);

}  // namespace omrek::test
