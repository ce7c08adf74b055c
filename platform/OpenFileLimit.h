#pragma once

namespace omrek {

// Raises the number of files this process may hold open to the most the
// system allows it. A free-space wipe holds a journal record open for each
// filler file, one per gigabyte it fills: the usual 1024 would end a wipe of
// a large drive half-way.
void RaiseOpenFileLimit();

}  // namespace omrek
