#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FileSystem.h"
#include "RecordTail.h"

namespace records {

// The one reader of the record file: what a record is in "archivo.txt" is decided here, by the
// exact parser (RecordParser), and both questions asked of the file go through it: the first
// record with a given matricula, and where the data stops.
//
// Stretches written by this program (every line a double quote, text without quotes or line ends,
// a double quote, CR LF) are not parsed byte by byte: the lines that hold exactly the key are found
// 64 bytes at a time, and which field of its record each one is follows from counting line ends
// since the last record boundary. Anywhere else the exact parser reads from the last record
// boundary, and the fast way takes over again at the next one. Both ways give the same answer on
// every input. Memory stays a few blocks, whatever the size of the file.
//
// Copying a block out of the page cache costs about as much as following it, so on a machine with a
// second core a helper thread reads the next blocks, in order, while the current one is followed. A
// match ends the reading: whatever the helper read past it, or failed to read, is dropped. The file
// is read with read(), never mapped: another program may cut it meanwhile, and a mapped page past
// its new end would kill the program.

// How the reader goes through the file. The program always takes the first; tests and benchmarks
// compare the others with it.
enum class ReadRoute {
  Fast,          // well-formed stretches followed with the processor's widest vector instructions
  FastAvx2,      // the same with AVX2 (the portable kernel where the processor lacks it)
  FastPortable,  // the same in plain C++, as on every processor without AVX2
  ExactOnly,     // the exact parser over every byte
};

// Who reads the blocks.
enum class ReadThreads {
  Auto,  // a helper thread reads ahead when the process may run on more than one core
  One,   // the calling thread reads each block, then follows it
  Two,   // a helper thread reads ahead, however many cores there are
};

struct ReaderTuning {
  ReadRoute route = ReadRoute::Fast;
  // Bytes per read: a block is classified while it is still in the processor's L2 cache, and each
  // read costs a system call. Measured on one thread, 256 KiB to 512 KiB cost the least; 128 KiB
  // cost 6% more, 64 KiB 20% more. With a helper reading ahead, 64 KiB to 256 KiB cost about the
  // same, and larger blocks more: the ring of them no longer fits the two cores' caches.
  std::size_t blockSize = std::size_t{256} * 1024;
  ReadThreads threads = ReadThreads::Auto;
};

struct FoundRecord {
  std::array<std::string, 5> fields;  // the record's bytes, field by field
  std::uint64_t end = 0;              // the file offset just past the record, its line end included
};

struct LookupResult {
  int error = 0;  // errno when the file could not be read; then nothing was found
  std::optional<FoundRecord> found;
};

// Looks the first record whose matricula's bytes are `key` up in the file open for reading on
// `fd`, read from its first byte (where `fd` must stand). With a match, `fd` is left positioned
// just past the record. No key (a text the code page cannot hold) matches nothing; the file is
// still read to its end, so that a read error is reported as for any other key.
LookupResult findFirstRecord(FileSystem& fileSystem, int fd, const std::optional<std::string>& key,
                             const ReaderTuning& tuning = {});

// checkTail (RecordTail.h) by the chosen route.
RecordTail readTail(FileSystem& fileSystem, int fd, std::uint64_t from,
                    const ReaderTuning& tuning = {});

}  // namespace records
