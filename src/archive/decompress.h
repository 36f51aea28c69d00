// The FA2 block decoder (the format: archive/block_format.h).
//
// A stream ends with the end marker and carries neither its own length nor
// the length of its output, so the decoder is told both ends.
#ifndef ARCHIVE_DECOMPRESS_H
#define ARCHIVE_DECOMPRESS_H

#include <cstddef>
#include <cstdint>

// Decodes the stream at source into destination. It never writes outside
// destination[0, capacity), never reads outside source[0, sourceLength), and
// never copies from before destination. It returns 1 when it has taken the end marker: then
// *produced is the number of bytes written and *consumed the number of
// stream bytes read, end marker and its control word included. It returns 0
// when the stream is damaged or truncated, when a copy reaches back before the
// first output byte, or when the output would not fit into capacity; the
// destination then holds an unspecified prefix and the two counts are not
// set. produced and consumed may be null. On success too, the bytes of
// destination after the produced ones (up to capacity) may have been
// overwritten: the decoder copies in whole words while it is far from the
// ends. destination and source must not overlap.
int DecompressBlockBounded(void* destination, size_t capacity,
                           const void* source, size_t sourceLength,
                           size_t* produced, size_t* consumed);

// Decoding one stream in parts, through a buffer that keeps the last output
// bytes as the window that copies reach back into. The stream must stay in
// place while it is decoded.
struct BlockDecoder {
  const uint8_t* Begin;
  const uint8_t* End;
  const uint8_t* In;  // the next stream byte
  uint64_t Bits;      // control bits not yet taken, at the top
  unsigned Left;      // their count
};

// DecodeBlockPart's results besides 0 (damaged).
constexpr int kBlockEnded = 1;
constexpr int kBlockPaused = 2;

// Room after stop that lets DecodeBlockPart run its fast loop up to stop; the
// last code before stop may write up to here.
constexpr size_t kBlockPartSlack = 512;

// Sets the decoder to the start of the stream at source. Returns 0 when the
// stream is too short to hold a control word.
int StartBlockDecoder(BlockDecoder* decoder, const void* source, size_t sourceLength);

// Decodes whole codes into buffer from buffer[start] on, while the output
// position is below stop. buffer[0, start) must hold the output's last start
// bytes, and all of the output so far when there is less than the window of
// it: copies may reach back to buffer[0] and no further. It never writes
// outside buffer[0, capacity) and never reads outside the stream. Returns
// kBlockEnded when it has taken the end marker, or kBlockPaused when the
// output position reached stop (at most kBlockPartSlack past it) before the
// end; *end is then the output position, and the decoder is ready for the
// next part. Returns 0 when the stream is damaged or truncated, when a copy
// reaches back before buffer, or when a code does not fit before capacity;
// the decoder is then spent. Like the whole-block decoder, it may overwrite
// bytes after *end up to capacity. For parts that always pause on an intact
// stream, capacity must be at least stop + kBlockPartSlack; a stop past
// capacity never pauses.
int DecodeBlockPart(BlockDecoder* decoder, void* buffer, size_t start, size_t stop,
                    size_t capacity, size_t* end);

#endif
