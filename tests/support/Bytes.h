// A small deterministic generator for test pixels and positions, independent
// of rand() and drand48(), which the field itself draws from.
#ifndef TESTS_BYTES_H
#define TESTS_BYTES_H

#include <SupportDefs.h>

class Bytes {
public:
	explicit Bytes(uint32 seed) : fState(seed * 2654435761u + 1) {}

	uint32 Next()
	{
		fState ^= fState << 13;
		fState ^= fState >> 17;
		fState ^= fState << 5;
		return fState;
	}

private:
	uint32 fState;
};

#endif	// TESTS_BYTES_H
