// The random numbers of the web build's C library, as glibc gives them, so
// that the page draws the frames saverhost draws on Linux. wasi-libc's own
// rand() is another generator; this file's definitions take the place of its
// rand, srand, drand48 and srand48 at link time.
//
// rand/srand: glibc's default random() state, TYPE_3: an additive feedback
// generator of 31 words, r[i] = r[i-3] + r[i-31] (mod 2^32), whose output is
// r[i] >> 1. srand(seed) fills the words with the minimal standard LCG
// (16807 * r mod 2^31-1, from seed, 0 taken as 1) and throws the first 310
// outputs away. rand() before any srand() runs as after srand(1).
//
// drand48: x = (0x5DEECE66D * x + 0xB) mod 2^48, the result x / 2^48, from
// the all-zero state that a glibc process starts in.
#include <stdint.h>
#include <stdlib.h>


enum {
	kDegree = 31,		// TYPE_3's words
	kSeparation = 3,	// TYPE_3's distance between the two taps
};

static int32_t sWords[kDegree];
static int sFront;		// glibc's fptr, as an index
static int sRear;		// glibc's rptr
static int sSeeded;


static int32_t
next_random(void)
{
	uint32_t value = (uint32_t)sWords[sFront] + (uint32_t)sWords[sRear];
	sWords[sFront] = (int32_t)value;
	if (++sFront == kDegree)
		sFront = 0;
	if (++sRear == kDegree)
		sRear = 0;
	return (int32_t)(value >> 1);
}


void
srand(unsigned int seed)
{
	if (seed == 0)
		seed = 1;
	int32_t word = (int32_t)seed;
	sWords[0] = word;
	for (int i = 1; i < kDegree; i++) {
		// 16807 * word mod (2^31 - 1), by Schrage's method, as glibc does it.
		int64_t high = word / 127773;
		int64_t low = word % 127773;
		word = (int32_t)(16807 * low - 2836 * high);
		if (word < 0)
			word += 2147483647;
		sWords[i] = word;
	}
	sFront = kSeparation;
	sRear = 0;
	sSeeded = 1;
	for (int i = 0; i < 10 * kDegree; i++)
		(void)next_random();
}


int
rand(void)
{
	if (!sSeeded)
		srand(1);
	return next_random();
}


static const uint64_t kMultiplier = 0x5DEECE66DULL;
static const uint64_t kIncrement = 0xB;
static const uint64_t kMask48 = (1ULL << 48) - 1;

static uint64_t sState48;


double
drand48(void)
{
	sState48 = (kMultiplier * sState48 + kIncrement) & kMask48;
	// Exact: 48 bits fit a double's 53.
	return (double)sState48 * 0x1p-48;
}


void
srand48(long seed)
{
	sState48 = (((uint64_t)(uint32_t)seed) << 16) | 0x330E;
}
