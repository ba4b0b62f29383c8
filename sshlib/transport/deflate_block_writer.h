// The coding half of the compressor: writes one block of LZ77 symbols in whichever deflate block
// type comes out shortest (stored, fixed Huffman codes, or codes made for this block).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sshlib/transport/deflate_bit_writer.h"
#include "sshlib/transport/deflate_matcher.h"

namespace tessan::transport {

// Writes `symbols` (the matching of the `length` bytes at `raw`) as one non-final block.
// Returns true when it went out as a stored block, which ends on a byte boundary.
bool WriteDeflateBlock(const DeflateSymbols& symbols, const uint8_t* raw, size_t length,
                       DeflateBitWriter& writer);

// Writes `length` bytes as stored blocks of at most 65535 bytes each.
void WriteStoredBlocks(const uint8_t* raw, size_t length, DeflateBitWriter& writer);

// The bits WriteStoredBlocks takes for `length` bytes when `pendingBits` bits are pending.
uint64_t StoredBlocksCost(size_t length, int pendingBits);

}  // namespace tessan::transport
