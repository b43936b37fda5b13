/*
 * filestream_internal.h - stream helpers the INI code needs beyond the
 * exported stream functions: a line reader that tells end of file from
 * exhausted memory, and a durable finish for a stream being written.
 */
#ifndef OVBASE_FILESTREAM_INTERNAL_H
#define OVBASE_FILESTREAM_INTERNAL_H

#include "ovbase/ovutil.h"

namespace ov::stream {

// ov_fileStreamOpen telling why it failed: *noMemory is set when the
// stream record could not be allocated, cleared otherwise.
FILESTREAM *open(const char *path, const char *mode, bool *noMemory);

enum class LineResult { kLine, kEnd, kNoMemory };

// ov_fileStreamGetLine with its outcome spelled out; *length receives the
// bytes of the line (newline included) when a line was read.
LineResult getLine(FILESTREAM *stream, char **lineBuffer, uint32_t *lineSize, uint32_t *length);

// True when `consumed` bytes read through the stream are the whole file:
// false for a directory, or a regular file whose length differs (a read
// error cut the reading short, or the file changed meanwhile).
bool readWhole(FILESTREAM *stream, uint64_t consumed);

// Writes length bytes of line and one newline, as ov_fileStreamPuts does
// for a text; returns length + 1.
uint64_t putLine(FILESTREAM *stream, const char *line, size_t length);

// Writes out the stream's pending bytes and flushes the file to disk.
// Returns the file's length afterwards, or -1 when the flush or the length
// query failed.  The stream stays open.
int64_t syncWritten(FILESTREAM *stream);

}  // namespace ov::stream

#endif
