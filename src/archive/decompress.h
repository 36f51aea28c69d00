// The FA2 block decoder (the format: archive/block_format.h).
//
// A stream ends with the end marker and carries neither its own length nor
// the length of its output, so the decoder is told both ends.
#ifndef ARCHIVE_DECOMPRESS_H
#define ARCHIVE_DECOMPRESS_H

#include <cstddef>

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

#endif
