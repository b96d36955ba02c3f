// A fingerprint of a frame, for checking that two runs drew the same thing.
#ifndef SAVERHOST_DIGEST_H
#define SAVERHOST_DIGEST_H

#include <cstdint>
#include <string>

#include "base/PixelView.h"

// 64-bit FNV-1a over the red, green and blue bytes of every pixel, in that
// order, pixel by pixel and row by row; row padding and the unused fourth
// byte do not count.
uint64_t FrameDigest(const PixelView& pixels);

// The digest as 16 lower-case hexadecimal digits.
std::string FormatDigest(uint64_t digest);

#endif	// SAVERHOST_DIGEST_H
