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
  // Bytes per read: small enough for the block to stay in the processor's L2 cache while it is
  // searched.
  std::size_t blockSize = std::size_t{256} * 1024;
};

}  // namespace records
