#pragma once
// How the unpacker reads an archive: minizip's file functions over one Win32 file, read through two
// buffers (one follows the central directory, the other the entries). minizip reads a directory
// record or a local header in many small pieces and compressed data in 16 KiB steps; each piece
// would be a system call of its own. A read where a buffer's last read ended (streaming data, the
// directory) fills that buffer with the next 512 KiB; a read elsewhere (an entry's header) fills
// only a few KiB there, so that visiting every entry's header reads little more than the headers.
#include <ioapi.h>

// The file functions; the file name minizip is given is a wide (UTF-16) path.
zlib_filefunc64_def BufferedArchiveFunctions();
