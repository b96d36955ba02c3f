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

#if HAS_WIDE_FORM
// -1 until the processor has been asked.
static int sWideForm = -1;
#endif
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

// The differences of one tile row, 64 bytes, in one register.
FOR_WIDE_FORM static inline __attribute__((always_inline)) __m256i
tile_difference(const uint8* to, const uint8* from)
{
	return _mm256_or_si256(
		_mm256_xor_si256(_mm256_loadu_si256((const __m256i*)from),
			_mm256_loadu_si256((const __m256i*)to)),
		_mm256_xor_si256(_mm256_loadu_si256((const __m256i*)(from + 32)),
			_mm256_loadu_si256((const __m256i*)(to + 32))));
}


FOR_WIDE_FORM static inline __attribute__((always_inline)) uint8
differs(__m256i difference)
{
	return (uint8)!_mm256_testz_si256(difference, difference);
}


// The same with 32-byte vectors, four tiles at a time: nearly all of them are
// unchanged, and one test tells for all four. Where one changed, all four are
// copied and marked without a branch to guess wrong: writing a tile row
// again as it is changes nothing.
FOR_WIDE_FORM static void
copy_changed_tiles_wide(uint8* to, const uint8* from, int32 tiles, uint8* damage)
{
	int32 tile = 0;
	for (; tile + 4 <= tiles; tile += 4) {
		for (int32 line = 0; line < 4; line++) {
			__builtin_prefetch(from + kFetchAhead + line * kTileBytes);
			__builtin_prefetch(to + kFetchAhead + line * kTileBytes);
		}
		__m256i first = tile_difference(to, from);
		__m256i second = tile_difference(to + kTileBytes, from + kTileBytes);
		__m256i third = tile_difference(to + 2 * kTileBytes, from + 2 * kTileBytes);
		__m256i fourth = tile_difference(to + 3 * kTileBytes, from + 3 * kTileBytes);
		__m256i any = _mm256_or_si256(_mm256_or_si256(first, second),
			_mm256_or_si256(third, fourth));
		if (__builtin_expect(differs(any), 0)) {
			memcpy(to, from, 4 * kTileBytes);
			damage[tile] |= differs(first);
			damage[tile + 1] |= differs(second);
			damage[tile + 2] |= differs(third);
			damage[tile + 3] |= differs(fourth);
		}
		to += 4 * kTileBytes;
		from += 4 * kTileBytes;
	}
	for (; tile < tiles; tile++) {
		if (differs(tile_difference(to, from))) {
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


// One row of the present.
static inline void
copy_changed_row(uint8* to, const uint8* from, int32 x, int32 count, uint8* damageRow,
	bool wide)
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
	if (wide)
		copy_changed_tiles_wide(to, from, tiles, damage);
	else
#else
	(void)wide;
#endif
		copy_changed_tiles_narrow(to, from, tiles, damage);

	int32 tail = count - tiles * kDamageTile;
	if (tail > 0) {
		int32 done = tiles * kDamageTile;
		copy_if_changed(to + done * 4, from + done * 4, tail, damage[tiles]);
	}
}


void
copy_changed_pixels(uint8* to, int64 toStride, const uint8* from, int64 fromStride,
	int32 x, int32 y, int32 count, int32 rows, uint8* damage, int32 damageColumns)
{
	bool wide = changed_pixels_wide_form();
	for (int32 row = 0; row < rows; row++) {
		uint8* damageRow = damage + (int64)((y + row) / kDamageTile) * damageColumns;
		copy_changed_row(to + row * toStride, from + row * fromStride, x, count, damageRow,
			wide);
	}
}
