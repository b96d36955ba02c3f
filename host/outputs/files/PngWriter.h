// Frames as PNG images.
#ifndef SAVERHOST_PNG_WRITER_H
#define SAVERHOST_PNG_WRITER_H

#include <cstdio>

#include "base/PixelView.h"
#include "base/Result.h"

// Writes the pixels to file as an 8-bit RGB PNG without alpha. The error
// gives the reason only (the system's, for a write that failed); the caller
// knows the file's name. Data may still sit
// in the stream's buffer: flushing it, and its errors, are the caller's.
Result<void> WritePng(std::FILE* file, const PixelView& pixels);

#endif	// SAVERHOST_PNG_WRITER_H
