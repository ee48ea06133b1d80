#pragma once

#include <functional>

namespace app {

// Ends the program at once with exit status 0: no further step of the calling handler and no
// handler of any screen runs, every window disappears, and the exit releases a record file handle
// that a lookup left open. Nothing is pending at that moment, since every save completes before
// its handler goes on.
void EndProgram();

// Tests must outlive the end of the program: a handler set here is called instead of ending the
// process, and the caller's handler then returns as its last step. An empty handler brings the real
// end back.
using ProgramEndHandler = std::function<void()>;
void setProgramEndHandler(ProgramEndHandler handler);

}  // namespace app
