#include "FileSizeSignal.h"

#include <csignal>

namespace records {

void surviveFileSizeLimit() {
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace records
