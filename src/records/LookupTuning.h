#pragma once

#include <cstddef>

namespace records {

// How a lookup reads the record file. Both routes give the same answer; the second exists so that
// tests can check the first against it.
enum class LookupRoute {
  ScanFirst,  // search the file's bytes for the key's; parse records only when they occur
  ParseOnly,  // parse every record from the start
};

struct LookupTuning {
  LookupRoute route = LookupRoute::ScanFirst;
  // Bytes per read: the block is searched while it is still in the processor's L2 cache. Measured
  // here, 128 KiB to 512 KiB cost the same; 1 MiB and more, or 32 KiB and less, cost more.
  std::size_t blockSize = std::size_t{128} * 1024;
};

}  // namespace records
