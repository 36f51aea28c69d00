// The FA2 block decoder.
//
// A stream is LZ77 codes steered by bits of 32-bit little-endian control
// words that stand between the data bytes exactly where the decoder needs
// them; it ends with the end marker (a far pair with value 2047) and carries
// neither its own length nor the length of its output.
#ifndef ARCHIVE_DECOMPRESS_H
#define ARCHIVE_DECOMPRESS_H

#include <cstddef>

// Decodes the stream at source into destination and returns when it has
// taken the end marker. It checks nothing: destination must have room for
// the whole output and source must hold a whole, valid stream. Only for
// trusted streams; everything in the updater and in fa2 uses the bounded
// decoder below. It reads and writes exactly the bytes that the stream
// describes, no more.
void DecompressBlock(void* destination, const void* source);

// The bounded decoder. It never writes outside destination[0, capacity),
// never reads outside source[0, sourceLength), and never copies from before
// destination. It returns 1 when it has taken the end marker: then
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

#endif
