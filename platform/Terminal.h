#pragma once

namespace omrek {

// The standard streams a command line run reads and writes.
enum class StandardStream { Input, Output, Error };

// Whether the stream is a terminal, where a person reads it: only there are
// questions asked and a progress bar drawn.
bool IsTerminal(StandardStream stream);

// The width of the terminal on the error stream in columns; 80 when it
// cannot be told.
int TerminalColumns();

}  // namespace omrek
