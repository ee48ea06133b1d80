#pragma once

namespace records {

// By default the kernel kills a process whose write would cross its file-size limit (SIGXFSZ),
// half a record into the file. Ignoring the signal makes that write come back short or fail with
// EFBIG instead, so a save can take its bytes back and say why. Call once at start-up; it holds
// for the whole process. Windows sends no such signal, and there it does nothing.
void surviveFileSizeLimit();

}  // namespace records
