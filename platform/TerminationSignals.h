#pragma once

namespace omrek {

// SIGTERM, SIGINT and SIGHUP (a kill, Ctrl+C, a logout) become a request
// the program acts on at its next safe point, instead of ending it in the
// middle of a write with a file lengthened, a filler left behind or a file
// half overwritten and gone. SIGTERM, the system's "end now", ends within
// two seconds a program that shows no sign of stopping (its main thread
// waits on a mount that never answers).
namespace TerminationSignals {

// Takes the three signals over (once per process; later calls only return
// the same descriptor). The descriptor becomes readable when one arrives,
// so the event loop can watch it.
int Install();

// The signal that asked for the end (its number), or 0 while none has.
// Safe to poll from anywhere, as often as a write loop likes; a poll after
// the request is a sign that the program is stopping.
int Requested();

// The same sign from a stop's own steps (deleting fillers one by one, say)
// that do not poll.
void StillStopping();

// Reads away what made the descriptor readable.
void Drain();

}  // namespace TerminationSignals

}  // namespace omrek
