#include "ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace app {
namespace {

ProgramEndHandler& programEndHandler() {
  static ProgramEndHandler handler;
  return handler;
}

}  // namespace

void EndProgram() {
  if (programEndHandler()) {
    programEndHandler()();
    return;
  }
  // QCoreApplication::exit would only ask the event loop to stop and let the calling handler run
  // on; quit would first close every window, which unloads screens. Leaving the process directly
  // is the only way to end "at once".
  std::fflush(nullptr);
  std::_Exit(0);
}

void setProgramEndHandler(ProgramEndHandler handler) {
  programEndHandler() = std::move(handler);
}

}  // namespace app
