// Reads the command mIRC's senders leave in a named shared block: "mIRC" for
// index 0, "mIRC<index>" otherwise, at most 4096 bytes, zero-terminated.
#pragma once
#include <string>

struct block_read {
  bool ok = false;
  std::string text;   // UTF-8, without the terminator
  std::string reason; // why nothing was read (when !ok)
  bool unterminated = false;
};

// utf16: the block holds UTF-16LE text (method bit 8), converted to UTF-8.
block_read read_shared_block(long index, bool utf16);
