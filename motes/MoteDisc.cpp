#include "MoteDisc.h"

#include <math.h>
#include <string.h>


// A disc is written a window row at a time, and only rows that exist on the
// canvas. Away from the left and right edges a row is taken as twelve
// pixels, cx - 5 to cx + 6, in three blocks of four pixels (PixelBlock); the
// twelfth pixel is never in the footprint, and like the window's corners it
// is given back its own value. Near those edges the row is cut to the
// pixels that exist and written one pixel at a time.
static const int32 kWindowSide = 2 * kDiscHalfWindow + 1;
static const int32 kBlockBytes = sizeof(PixelBlock);
static const int32 kRowBlocks = 3;
static const int32 kRowBytes = kRowBlocks * kBlockBytes;
static const int32 kRowPixels = kRowBytes / 4;

// What an erase keeps of each pixel of a window row, by the row's distance
// from the centre row (rows above and below it by as much are the same):
// the fourth byte of footprint pixels, all of the other pixels.
struct EraseRows {
	uint8	keep[kDiscHalfWindow + 1][kRowBytes] __attribute__((aligned(16)));
};

// What a draw adds to each pixel of a window row, by distance from the
// centre row: blue, green, red and 0 for the fourth byte; 0 outside the
// footprint. With it the most each byte may hold before the add, 255 less
// what is added, so that a saturating add is a minimum and a plain add.
struct DrawRow {
	uint8	added[kRowBytes] __attribute__((aligned(16)));
	uint8	limit[kRowBytes] __attribute__((aligned(16)));
};

struct DrawRows {
	DrawRow	rows[kDiscHalfWindow + 1];
};

static EraseRows sEraseRows;
static bool sEraseRowsReady = false;

// By glow level, each built the first time a disc of that level is drawn:
// 576 bytes a level, and the levels a run meets are few.
static DrawRows sDrawRows[256];
static bool sDrawRowsReady[256];


// True when some footprint pixel of a disc centred at (x, y) can land on the
// canvas. Checked before any conversion to an integer, so that a mote far
// outside, or at a NaN position, neither converts out of range nor draws.
static inline bool
disc_may_land(const Canvas& canvas, const Mote& mote)
{
	// The centre truncates towards zero, so it is at least -5 exactly when
	// the position is above -6, and at most size + 4 when below size + 5.
	double low = -(kDiscHalfWindow + 1);
	return (double)mote.x > low && (double)mote.x < (double)canvas.Width() + kDiscHalfWindow
		&& (double)mote.y > low && (double)mote.y < (double)canvas.Height() + kDiscHalfWindow;
}


// Distance of a window pixel from the centre, as the disc measures it.
static float
disc_distance(int32 d2)
{
	return (float)sqrt((double)d2);
}


// Whether the pixel dx columns and dy rows from the centre is in the disc.
static bool
in_footprint(int32 dx, int32 dy)
{
	if (dx < -kDiscHalfWindow || dx > kDiscHalfWindow)
		return false;
	return disc_distance(dx * dx + dy * dy) <= kDiscRadius;
}


// Builds the erase masks; once, before the first disc is erased.
static __attribute__((noinline)) void
build_erase_rows()
{
	for (int32 dy = 0; dy <= kDiscHalfWindow; dy++) {
		for (int32 k = 0; k < kRowPixels; k++) {
			uint8* pixel = sEraseRows.keep[dy] + k * 4;
			uint8 keep = in_footprint(k - kDiscHalfWindow, dy) ? 0 : 0xff;
			pixel[0] = pixel[1] = pixel[2] = keep;
			pixel[3] = 0xff;
		}
	}
	sEraseRowsReady = true;
}


static inline const EraseRows&
erase_rows()
{
	if (!sEraseRowsReady)
		build_erase_rows();
	return sEraseRows;
}


// Builds the rows of one glow level; once, before the first disc of that
// level is drawn.
static __attribute__((noinline)) void
build_draw_rows(uint8 level)
{
	DrawRows& rows = sDrawRows[level];
	for (int32 dy = 0; dy <= kDiscHalfWindow; dy++) {
		DrawRow& row = rows.rows[dy];
		memset(row.added, 0, sizeof(row.added));
		for (int32 k = 0; k < kRowPixels; k++) {
			int32 dx = k - kDiscHalfWindow;
			if (!in_footprint(dx, dy))
				continue;

			// Red and green fall off from 250, blue from the glow level,
			// linearly with the distance, as the disc is defined.
			double fraction = (double)disc_distance(dx * dx + dy * dy) / (double)kDiscRadius;
			uint8 white = (uint8)(int32)(250 - 250 * fraction);
			uint8 blue = (uint8)(int32)((double)level - (double)level * fraction);
			row.added[k * 4] = blue;
			row.added[k * 4 + 1] = white;
			row.added[k * 4 + 2] = white;
		}
		for (int32 i = 0; i < kRowBytes; i++)
			row.limit[i] = 255 - row.added[i];
	}
	sDrawRowsReady[level] = true;
}


static inline const DrawRows&
draw_rows(uint8 level)
{
	if (!sDrawRowsReady[level])
		build_draw_rows(level);
	return sDrawRows[level];
}


// Where a disc's window lies on the canvas: its first column, its centre
// row, and the canvas rows it covers; inside when all twelve columns of the
// fast rows lie on the canvas.
struct Window {
	int32	left;
	int32	centre;
	int32	firstRow;
	int32	lastRow;
	bool	inside;
};


static inline Window
window_of(const Canvas& canvas, const Mote& mote)
{
	Window window;
	int32 cx = (int32)mote.x;
	window.centre = (int32)mote.y;
	window.left = cx - kDiscHalfWindow;
	window.firstRow = window.centre - kDiscHalfWindow;
	if (window.firstRow < 0)
		window.firstRow = 0;
	window.lastRow = window.centre + kDiscHalfWindow;
	if (window.lastRow > canvas.Height() - 1)
		window.lastRow = canvas.Height() - 1;
	window.inside = window.left >= 0 && window.left + kRowPixels <= canvas.Width();
	return window;
}


// The window columns that lie on the canvas, for a window that is not inside.
static inline void
clip_columns(const Canvas& canvas, const Window& window, int32& first, int32& end)
{
	first = window.left < 0 ? -window.left : 0;
	end = canvas.Width() - window.left;
	if (end > kWindowSide)
		end = kWindowSide;
}


// The window rows above the centre row, nearest first, and those from the
// centre row down: each half walks its table rows one way.
struct RowRuns {
	int32	aboveCount;
	int32	belowCount;
	int32	aboveFirstDistance;
	int32	belowFirstDistance;
};


static inline RowRuns
row_runs(const Window& window)
{
	// The centre row itself may lie above the canvas or below it.
	RowRuns runs;
	int32 aboveEnd = window.centre < window.lastRow + 1 ? window.centre : window.lastRow + 1;
	int32 belowStart = window.centre > window.firstRow ? window.centre : window.firstRow;
	runs.aboveCount = aboveEnd > window.firstRow ? aboveEnd - window.firstRow : 0;
	runs.belowCount = window.lastRow + 1 > belowStart ? window.lastRow + 1 - belowStart : 0;
	// An empty half points at table row 0: a centre row above the canvas
	// would otherwise name a table row before the first.
	runs.aboveFirstDistance = runs.aboveCount > 0 ? window.centre - window.firstRow : 0;
	runs.belowFirstDistance = runs.belowCount > 0 ? belowStart - window.centre : 0;
	return runs;
}


// Clears the footprint pixels of count rows of twelve pixels, the first at
// pixels, with the keep masks from table row distance on, stepping by step
// table rows.
static inline void
keep_rows(uint8* pixels, int32 bytesPerRow, const uint8 (*keep)[kRowBytes], int32 step,
	int32 count)
{
	for (; count > 0; count--, pixels += bytesPerRow, keep += step) {
#pragma GCC unroll 3
		for (int32 block = 0; block < kRowBlocks; block++) {
			PixelBlock stored;
			PixelBlock kept;
			memcpy(&stored, pixels + block * kBlockBytes, sizeof(stored));
			memcpy(&kept, *keep + block * kBlockBytes, sizeof(kept));
			stored &= kept;
			memcpy(pixels + block * kBlockBytes, &stored, sizeof(stored));
		}
	}
}


// Adds count rows of twelve pixels, the first at pixels, with the table
// rows from row on, stepping by step table rows.
static inline void
add_rows(uint8* pixels, int32 bytesPerRow, const DrawRow* row, int32 step, int32 count)
{
	for (; count > 0; count--, pixels += bytesPerRow, row += step) {
#pragma GCC unroll 3
		for (int32 block = 0; block < kRowBlocks; block++) {
			// Saturating: no byte takes more than the room it has left.
			PixelBlock stored;
			PixelBlock added;
			PixelBlock limit;
			memcpy(&stored, pixels + block * kBlockBytes, sizeof(stored));
			memcpy(&added, row->added + block * kBlockBytes, sizeof(added));
			memcpy(&limit, row->limit + block * kBlockBytes, sizeof(limit));
			stored = (stored < limit ? stored : limit) + added;
			memcpy(pixels + block * kBlockBytes, &stored, sizeof(stored));
		}
	}
}


void
EraseDisc(Canvas& canvas, const Mote& mote)
{
	if (!disc_may_land(canvas, mote))
		return;

	const EraseRows& erase = erase_rows();
	Window window = window_of(canvas, mote);
	int32 bytesPerRow = canvas.BytesPerRow();
	if (window.inside) {
		RowRuns runs = row_runs(window);
		uint8* pixels = canvas.Row(window.firstRow) + window.left * 4;
		keep_rows(pixels, bytesPerRow, erase.keep + runs.aboveFirstDistance, -1,
			runs.aboveCount);
		keep_rows(pixels + (intptr_t)runs.aboveCount * bytesPerRow, bytesPerRow,
			erase.keep + runs.belowFirstDistance, 1, runs.belowCount);
		return;
	}

	int32 first;
	int32 end;
	clip_columns(canvas, window, first, end);
	uint8* pixels = canvas.Row(window.firstRow) + (window.left + first) * 4;
	for (int32 row = window.firstRow; row <= window.lastRow; row++, pixels += bytesPerRow) {
		int32 distance = row < window.centre ? window.centre - row : row - window.centre;
		uint8* pixel = pixels;
		const uint8* keep = erase.keep[distance] + first * 4;
		for (int32 k = first; k < end; k++, pixel += 4, keep += 4) {
			if (keep[0] == 0)
				pixel[0] = pixel[1] = pixel[2] = 0;
		}
	}
}


void
DrawDisc(Canvas& canvas, const Mote& mote)
{
	if (!disc_may_land(canvas, mote))
		return;

	uint8 level = (uint8)(int32)((double)mote.glow * 250);
	const DrawRows& draw = draw_rows(level);
	Window window = window_of(canvas, mote);
	int32 bytesPerRow = canvas.BytesPerRow();
	if (window.inside) {
		RowRuns runs = row_runs(window);
		uint8* pixels = canvas.Row(window.firstRow) + window.left * 4;
		add_rows(pixels, bytesPerRow, draw.rows + runs.aboveFirstDistance, -1,
			runs.aboveCount);
		add_rows(pixels + (intptr_t)runs.aboveCount * bytesPerRow, bytesPerRow,
			draw.rows + runs.belowFirstDistance, 1, runs.belowCount);
		return;
	}

	int32 first;
	int32 end;
	clip_columns(canvas, window, first, end);
	uint8* pixels = canvas.Row(window.firstRow) + (window.left + first) * 4;
	for (int32 row = window.firstRow; row <= window.lastRow; row++, pixels += bytesPerRow) {
		int32 distance = row < window.centre ? window.centre - row : row - window.centre;
		uint8* pixel = pixels;
		const uint8* added = draw.rows[distance].added + first * 4;
		for (int32 k = first; k < end; k++, pixel += 4, added += 4) {
			pixel[0] = saturating_add(pixel[0], added[0]);
			pixel[1] = saturating_add(pixel[1], added[1]);
			pixel[2] = saturating_add(pixel[2], added[2]);
		}
	}
}
