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
// In WebAssembly with its 128-bit vectors, the sixteen-byte blocks are those.
#if defined(__wasm_simd128__)
#	include <wasm_simd128.h>
#endif

static const int32 kTileBytes = kDamageTile * 4;
// How far ahead of the compare the rows it reads are fetched into the cache:
// between two frames the pixels leave it, and the processor's own prefetching
// alone leaves the compare waiting on memory.
static const int32 kFetchAhead = 512;

// While a present walks a band of full tiles row by row: the tile's rows of
// the bitmap have all been its value so far.
static const uint8 kStillUniform = 2;

// The states of four tiles in a row that the view holds uniform and whose
// rows of the bitmap have matched them so far, read together.
static const uint32 kGroupStillUniform = 0x01010101u * (kTileUniform | kStillUniform);
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
#elif defined(__wasm_simd128__)
	return wasm_v128_any_true((v128_t)block);
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


// The same sixteen bytes as four pixels, to repeat one value across them.
typedef uint32 NarrowWords __attribute__((vector_size(16)));


// One tile row, 64 bytes, of a full tile in a band: compared with the tile's
// value where the view holds it uniform, and with the view's pixels where it
// does not, whose row below (toStride bytes on) is then fetched for the
// next row; copied and marked when it differs. The tile is no longer
// uniform once a row of the bitmap is not all its value.
static inline __attribute__((always_inline)) void
copy_changed_known_tile_narrow(uint8* to, const uint8* from, int64 toStride, uint8& damage,
	uint8& state, uint32 value)
{
	NarrowWords words = { value, value, value, value };
	NarrowBlock repeated = (NarrowBlock)words;
	bool known = (state & kTileUniform) != 0;
	if (!known)
		__builtin_prefetch(to + toStride);
	NarrowBlock apart = {};
	NarrowBlock difference = {};
#pragma GCC unroll 4
	for (int32 i = 0; i < kTileBytes; i += (int32)sizeof(NarrowBlock)) {
		NarrowBlock source;
		memcpy(&source, from + i, sizeof(source));
		apart |= source ^ repeated;
		if (!known) {
			NarrowBlock target;
			memcpy(&target, to + i, sizeof(target));
			difference |= source ^ target;
		}
	}
	if (known)
		difference = apart;
	if (any_bit_set(apart))
		state &= (uint8)~kStillUniform;
	if (__builtin_expect(any_bit_set(difference), 0)) {
		memcpy(to, from, kTileBytes);
		damage = 1;
	}
}


// How the four tiles' rows from from differ from their values repeated,
// in one vector.
static inline __attribute__((always_inline)) NarrowBlock
group_value_difference(const uint8* from, const uint32* values)
{
	NarrowBlock difference = {};
#pragma GCC unroll 4
	for (int32 tile = 0; tile < 4; tile++) {
		NarrowWords words = { values[tile], values[tile], values[tile], values[tile] };
		NarrowBlock repeated = (NarrowBlock)words;
#pragma GCC unroll 4
		for (int32 i = 0; i < kTileBytes; i += (int32)sizeof(NarrowBlock)) {
			NarrowBlock source;
			memcpy(&source, from + tile * kTileBytes + i, sizeof(source));
			difference |= source ^ repeated;
		}
	}
	return difference;
}


// The full tiles of a row in a band of full tiles: the view's pixels are
// read only where it is not known to hold the value. Four tiles at a time:
// where the view holds all four uniform and the bitmap's rows have matched
// them so far, as nearly everywhere in a frame of motes on black, one test
// on the bitmap's bytes alone tells that none changed; any other group goes
// tile by tile.
static void
copy_changed_known_tiles_narrow(uint8* to, const uint8* from, int64 toStride, int32 tiles,
	uint8* damage, uint8* states, const uint32* values)
{
	int32 tile = 0;
	for (; tile + 4 <= tiles; tile += 4) {
		__builtin_prefetch(from + kFetchAhead);
		__builtin_prefetch(from + kFetchAhead + 2 * kTileBytes);
		uint32 group;
		memcpy(&group, states + tile, sizeof(group));
		if (group == kGroupStillUniform
			&& __builtin_expect(!any_bit_set(group_value_difference(from, values + tile)), 1)) {
			to += 4 * kTileBytes;
			from += 4 * kTileBytes;
			continue;
		}
		for (int32 i = 0; i < 4; i++) {
			copy_changed_known_tile_narrow(to + i * kTileBytes, from + i * kTileBytes,
				toStride, damage[tile + i], states[tile + i], values[tile + i]);
		}
		to += 4 * kTileBytes;
		from += 4 * kTileBytes;
	}
	for (; tile < tiles; tile++) {
		__builtin_prefetch(from + kFetchAhead);
		copy_changed_known_tile_narrow(to, from, toStride, damage[tile], states[tile],
			values[tile]);
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


// How one tile row, 64 bytes, differs from the value repeated.
FOR_WIDE_FORM static inline __attribute__((always_inline)) __m256i
value_difference(const uint8* from, uint32 value)
{
	__m256i repeated = _mm256_set1_epi32((int)value);
	return _mm256_or_si256(
		_mm256_xor_si256(_mm256_loadu_si256((const __m256i*)from), repeated),
		_mm256_xor_si256(_mm256_loadu_si256((const __m256i*)(from + 32)), repeated));
}


// As copy_changed_known_tile_narrow(), with 32-byte vectors.
FOR_WIDE_FORM static inline __attribute__((always_inline)) void
copy_changed_known_tile_wide(uint8* to, const uint8* from, int64 toStride, uint8& damage,
	uint8& state, uint32 value)
{
	__m256i apart = value_difference(from, value);
	__m256i difference = apart;
	if ((state & kTileUniform) == 0) {
		__builtin_prefetch(to + toStride);
		difference = tile_difference(to, from);
	}
	if (differs(apart))
		state &= (uint8)~kStillUniform;
	if (differs(difference)) {
		memcpy(to, from, kTileBytes);
		damage = 1;
	}
}


// The same four tiles at a time: where the view holds all four uniform and
// the bitmap's rows have matched them so far, as nearly everywhere in a
// frame of motes on black, one test on the bitmap's bytes alone tells that
// none changed. Any other group goes tile by tile.
FOR_WIDE_FORM static void
copy_changed_known_tiles_wide(uint8* to, const uint8* from, int64 toStride, int32 tiles,
	uint8* damage, uint8* states, const uint32* values)
{
	int32 tile = 0;
	for (; tile + 4 <= tiles; tile += 4) {
		__builtin_prefetch(from + kFetchAhead);
		__builtin_prefetch(from + kFetchAhead + kTileBytes);
		__builtin_prefetch(from + kFetchAhead + 2 * kTileBytes);
		__builtin_prefetch(from + kFetchAhead + 3 * kTileBytes);
		uint32 group;
		memcpy(&group, states + tile, sizeof(group));
		if (group == kGroupStillUniform) {
			__m256i any = _mm256_or_si256(
				_mm256_or_si256(value_difference(from, values[tile]),
					value_difference(from + kTileBytes, values[tile + 1])),
				_mm256_or_si256(value_difference(from + 2 * kTileBytes, values[tile + 2]),
					value_difference(from + 3 * kTileBytes, values[tile + 3])));
			if (__builtin_expect(!differs(any), 1)) {
				to += 4 * kTileBytes;
				from += 4 * kTileBytes;
				continue;
			}
		}
		for (int32 i = 0; i < 4; i++) {
			copy_changed_known_tile_wide(to + i * kTileBytes, from + i * kTileBytes, toStride,
				damage[tile + i], states[tile + i], values[tile + i]);
		}
		to += 4 * kTileBytes;
		from += 4 * kTileBytes;
	}
	for (; tile < tiles; tile++) {
		copy_changed_known_tile_wide(to, from, toStride, damage[tile], states[tile],
			values[tile]);
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


// How count pixels from column x fall on the tiles: head pixels before the
// first tile edge, then full tiles from tile column first on, then tail
// pixels after the last edge.
struct RowTiles {
	int32	head;
	int32	first;
	int32	full;
	int32	tail;
};


static RowTiles
split_row(int32 x, int32 count)
{
	RowTiles split;
	split.head = (kDamageTile - x % kDamageTile) % kDamageTile;
	if (split.head > count)
		split.head = count;
	split.first = (x + split.head) / kDamageTile;
	split.full = (count - split.head) / kDamageTile;
	split.tail = count - split.head - split.full * kDamageTile;
	return split;
}


// One row of the present where the rows do not fill the band: the view is
// read wherever the bitmap is.
static inline void
copy_changed_row(uint8* to, const uint8* from, int32 x, const RowTiles& split,
	uint8* damageRow, bool wide)
{
	if (split.head > 0)
		copy_if_changed(to, from, split.head, damageRow[x / kDamageTile]);
	to += split.head * 4;
	from += split.head * 4;
	uint8* damage = damageRow + split.first;
#if HAS_WIDE_FORM
	if (wide)
		copy_changed_tiles_wide(to, from, split.full, damage);
	else
#else
	(void)wide;
#endif
		copy_changed_tiles_narrow(to, from, split.full, damage);

	if (split.tail > 0) {
		int32 done = split.full * kTileBytes;
		copy_if_changed(to + done, from + done, split.tail, damage[split.full]);
	}
}


// One row of a band that the rows fill: the full tiles go by what is known of
// them, the head and tail as above.
static inline void
copy_changed_known_row(uint8* to, const uint8* from, int64 toStride, int32 x,
	const RowTiles& split, uint8* damageRow, uint8* statesRow, const uint32* valuesRow,
	bool wide)
{
	if (split.head > 0)
		copy_if_changed(to, from, split.head, damageRow[x / kDamageTile]);
	to += split.head * 4;
	from += split.head * 4;
	uint8* damage = damageRow + split.first;
	uint8* states = statesRow + split.first;
	const uint32* values = valuesRow + split.first;
#if HAS_WIDE_FORM
	if (wide)
		copy_changed_known_tiles_wide(to, from, toStride, split.full, damage, states,
			values);
	else
#else
	(void)wide;
#endif
		copy_changed_known_tiles_narrow(to, from, toStride, split.full, damage, states,
			values);

	if (split.tail > 0) {
		int32 done = split.full * kTileBytes;
		copy_if_changed(to + done, from + done, split.tail, damage[split.full]);
	}
}


// At the top of a band the rows fill: a full tile the view holds uniform is
// compared with its value; any other takes the bitmap's first pixel in it as
// its value, and is uniform at the end of the band if all the bitmap's rows
// in the band were that value throughout (then so are the view's, as they
// were copied where they differed). The view's first row of those is
// fetched; each row fetches the next.
static void
start_band(const uint8* to, const uint8* from, int32 tiles, uint8* states, uint32* values)
{
	for (int32 tile = 0; tile < tiles; tile++) {
		if (states[tile] == kTileUniform) {
			states[tile] = kTileUniform | kStillUniform;
		} else {
			__builtin_prefetch(to + tile * kTileBytes);
			memcpy(&values[tile], from + tile * kTileBytes, sizeof(uint32));
			states[tile] = kStillUniform;
		}
	}
}


static void
end_band(int32 tiles, uint8* states)
{
	for (int32 tile = 0; tile < tiles; tile++)
		states[tile] = (states[tile] & kStillUniform) != 0 ? kTileUniform : kTileUnknown;
}


void
copy_changed_pixels(uint8* to, int64 toStride, const uint8* from, int64 fromStride,
	int32 x, int32 y, int32 count, int32 rows, const TileMaps& tiles)
{
	bool wide = changed_pixels_wide_form();
	RowTiles split = split_row(x, count);
	int32 firstColumn = x / kDamageTile;
	int32 lastColumn = (x + count - 1) / kDamageTile;

	int32 row = 0;
	while (row < rows) {
		// The rows in this band of tiles.
		int32 band = (y + row) / kDamageTile;
		int32 bandRows = kDamageTile - (y + row) % kDamageTile;
		if (bandRows > rows - row)
			bandRows = rows - row;
		int64 offset = (int64)band * tiles.columns;
		uint8* damageRow = tiles.damage + offset;
		uint8* statesRow = tiles.states + offset;
		uint32* valuesRow = tiles.values + offset;

		bool known = bandRows == kDamageTile && split.full > 0;
		if (known) {
			start_band(to + row * toStride + split.head * 4,
				from + row * fromStride + split.head * 4, split.full,
				statesRow + split.first, valuesRow + split.first);
		}
		for (int32 end = row + bandRows; row < end; row++) {
			uint8* toRow = to + row * toStride;
			const uint8* fromRow = from + row * fromStride;
			if (known) {
				copy_changed_known_row(toRow, fromRow, toStride, x, split, damageRow,
					statesRow, valuesRow, wide);
			} else
				copy_changed_row(toRow, fromRow, x, split, damageRow, wide);
		}

		// Tiles the rows cover only in part, or that were copied without
		// being looked at as a whole, are not known to hold one value.
		if (known) {
			end_band(split.full, statesRow + split.first);
			if (split.head > 0)
				statesRow[firstColumn] = kTileUnknown;
			if (split.tail > 0)
				statesRow[lastColumn] = kTileUnknown;
		} else
			memset(statesRow + firstColumn, kTileUnknown, lastColumn - firstColumn + 1);
	}
}
