#include "ChangedPixels.h"

#include <string.h>


// On x86 the tiles are compared with SSE2 where the build allows it, and with
// AVX2 where the processor has it.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#	include <immintrin.h>
#	define HAS_WIDE_FORM 1
#	define FOR_WIDE_FORM __attribute__((target("avx2")))
#else
#	define HAS_WIDE_FORM 0
#endif

static const int32 kTileBytes = kDamageTile * 4;
// How far ahead of the compare both rows are fetched into the cache: between
// two frames the pixels leave it, and the processor's own prefetching alone
// leaves the compare waiting on memory.
static const int32 kFetchAhead = 512;

// -1 until the processor has been asked.
static int sWideForm = -1;
static bool sBaselineOnly = false;


// Sixteen bytes that the compiler keeps in one vector register where the
// processor has them; GCC's vector extension falls back to plain code
// elsewhere.
typedef uint8 NarrowBlock __attribute__((vector_size(16)));


// Whether any bit of block is set: one test instruction where there is one.
static inline __attribute__((always_inline)) bool
any_bit_set(NarrowBlock block)
{
#if defined(__SSE2__)
	__m128i bits = (__m128i)block;
	return _mm_movemask_epi8(_mm_cmpeq_epi8(bits, _mm_setzero_si128())) != 0xffff;
#else
	uint64 words[2];
	memcpy(words, &block, sizeof(words));
	return (words[0] | words[1]) != 0;
#endif
}


// The full tiles of a row, 64 bytes each: each one that differs anywhere is
// copied whole and marked.
static void
copy_changed_tiles_narrow(uint8* to, const uint8* from, int32 tiles, uint8* damage)
{
	for (int32 tile = 0; tile < tiles; tile++) {
		__builtin_prefetch(from + kFetchAhead);
		__builtin_prefetch(to + kFetchAhead);
		NarrowBlock difference = {};
#pragma GCC unroll 4
		for (int32 i = 0; i < kTileBytes; i += (int32)sizeof(NarrowBlock)) {
			NarrowBlock source;
			NarrowBlock target;
			memcpy(&source, from + i, sizeof(source));
			memcpy(&target, to + i, sizeof(target));
			difference |= source ^ target;
		}
		if (__builtin_expect(any_bit_set(difference), 0)) {
			memcpy(to, from, kTileBytes);
			damage[tile] = 1;
		}
		to += kTileBytes;
		from += kTileBytes;
	}
}


#if HAS_WIDE_FORM

// The same with 32-byte vectors, two to a tile.
FOR_WIDE_FORM static void
copy_changed_tiles_wide(uint8* to, const uint8* from, int32 tiles, uint8* damage)
{
	for (int32 tile = 0; tile < tiles; tile++) {
		__builtin_prefetch(from + kFetchAhead);
		__builtin_prefetch(to + kFetchAhead);
		__m256i first = _mm256_xor_si256(_mm256_loadu_si256((const __m256i*)from),
			_mm256_loadu_si256((const __m256i*)to));
		__m256i second = _mm256_xor_si256(_mm256_loadu_si256((const __m256i*)(from + 32)),
			_mm256_loadu_si256((const __m256i*)(to + 32)));
		__m256i difference = _mm256_or_si256(first, second);
		if (__builtin_expect(!_mm256_testz_si256(difference, difference), 0)) {
			memcpy(to, from, kTileBytes);
			damage[tile] = 1;
		}
		to += kTileBytes;
		from += kTileBytes;
	}
}

#endif


// Part of one tile: copied and marked when it differs.
static inline void
copy_if_changed(uint8* to, const uint8* from, int32 pixels, uint8& tile)
{
	size_t bytes = (size_t)pixels * 4;
	if (memcmp(to, from, bytes) != 0) {
		memcpy(to, from, bytes);
		tile = 1;
	}
}


bool
changed_pixels_wide_form()
{
#if HAS_WIDE_FORM
	if (sWideForm < 0) {
		__builtin_cpu_init();
		sWideForm = __builtin_cpu_supports("avx2") ? 1 : 0;
	}
	return sWideForm == 1 && !sBaselineOnly;
#else
	return false;
#endif
}


void
limit_changed_pixels_to_baseline(bool limit)
{
	sBaselineOnly = limit;
}


void
copy_changed_pixels(uint8* to, const uint8* from, int32 x, int32 count, uint8* damageRow)
{
	// The pixels before the first tile boundary, the full tiles, and the
	// pixels after the last boundary.
	int32 head = (kDamageTile - x % kDamageTile) % kDamageTile;
	if (head > count)
		head = count;
	if (head > 0) {
		copy_if_changed(to, from, head, damageRow[x / kDamageTile]);
		to += head * 4;
		from += head * 4;
		x += head;
		count -= head;
	}

	int32 tiles = count / kDamageTile;
	uint8* damage = damageRow + x / kDamageTile;
#if HAS_WIDE_FORM
	if (changed_pixels_wide_form())
		copy_changed_tiles_wide(to, from, tiles, damage);
	else
#endif
		copy_changed_tiles_narrow(to, from, tiles, damage);

	int32 tail = count - tiles * kDamageTile;
	if (tail > 0) {
		int32 done = tiles * kDamageTile;
		copy_if_changed(to + done * 4, from + done * 4, tail, damage[tiles]);
	}
}
