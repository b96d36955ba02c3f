// The present: DrawBitmap() of a canvas into a view whose pixels the host
// owns, against a copy made one pixel at a time, and the damage it notes
// against a plain comparison of the pixels before and after.
#include <gtest/gtest.h>

#include <math.h>

#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <Bitmap.h>
#include <View.h>

#include "Bytes.h"
#include "ViewSurface.h"


namespace {

const uint8 kUntouched = 0x3c;


// Host pixels of width x height at the given row stride, the bytes between
// rows included, all set to kUntouched.
struct HostPixels {
	int32 width;
	int32 height;
	int32 bytesPerRow;
	std::vector<uint8> bytes;

	HostPixels(int32 width, int32 height, int32 bytesPerRow)
		:
		width(width),
		height(height),
		bytesPerRow(bytesPerRow),
		bytes((size_t)bytesPerRow * height, kUntouched)
	{
	}
};


// What the view's pixels should hold after the bitmap is drawn with its
// top-left pixel at where: every byte of every pixel that both cover, and
// nothing else.
std::vector<uint8>
Expected(const HostPixels& host, int32 viewWidth, int32 viewHeight, const BBitmap& bitmap,
	BPoint where)
{
	std::vector<uint8> expected = host.bytes;
	int32 left = (int32)floorf(where.x);
	int32 top = (int32)floorf(where.y);
	int32 bitmapWidth = bitmap.Bounds().IntegerWidth() + 1;
	int32 bitmapHeight = bitmap.Bounds().IntegerHeight() + 1;
	const uint8* bits = (const uint8*)bitmap.Bits();
	for (int32 y = 0; y < host.height && y < viewHeight; y++) {
		for (int32 x = 0; x < host.width && x < viewWidth; x++) {
			int32 sx = x - left;
			int32 sy = y - top;
			if (sx < 0 || sy < 0 || sx >= bitmapWidth || sy >= bitmapHeight)
				continue;
			for (int32 byte = 0; byte < 4; byte++) {
				expected[(size_t)y * host.bytesPerRow + x * 4 + byte]
					= bits[(size_t)sy * bitmap.BytesPerRow() + sx * 4 + byte];
			}
		}
	}
	return expected;
}

}	// namespace


TEST(Present, CopiesEveryCoveredPixelAndNothingBetweenRows)
{
	struct Case {
		int32 viewWidth;
		int32 viewHeight;
		int32 hostWidth;
		int32 hostHeight;
		int32 hostPadding;
		int32 bitmapWidth;
		int32 bitmapHeight;
		float penX;
		float penY;
	};
	const Case cases[] = {
		// As saverhost has it: the view, its pixels and the canvas all alike.
		{ 37, 11, 37, 11, 0, 37, 11, 0, 0 },
		// Host rows with bytes after them that are not the view's.
		{ 37, 11, 37, 11, 12, 37, 11, 0, 0 },
		// Pen off the top-left, and off the bottom-right; fractions floor.
		{ 20, 9, 20, 9, 8, 20, 9, -3, 2 },
		{ 20, 9, 20, 9, 4, 20, 9, 5.5f, -4.25f },
		{ 20, 9, 20, 9, 4, 20, 9, -0.5f, -0.5f },
		// Host pixels smaller than the view, a bitmap larger than both.
		{ 30, 20, 25, 12, 16, 40, 30, 1, 1 },
		// Nothing to draw.
		{ 20, 9, 20, 9, 4, 20, 9, 20, 0 },
		{ 20, 9, 20, 9, 4, 20, 9, -20, 0 },
	};
	for (const Case& c : cases) {
		BBitmap bitmap(BRect(0, 0, c.bitmapWidth - 1, c.bitmapHeight - 1), B_RGB32);
		uint8* bits = (uint8*)bitmap.Bits();
		for (int32 i = 0; i < bitmap.BitsLength(); i++)
			bits[i] = (uint8)(i * 7 + i / 5);

		HostPixels host(c.hostWidth, c.hostHeight, c.hostWidth * 4 + c.hostPadding);
		BView view(BRect(0, 0, c.viewWidth - 1, c.viewHeight - 1), "view", B_FOLLOW_ALL,
			B_WILL_DRAW);
		BPrivate::ViewSurface::Attach(&view, host.bytes.data(), host.bytesPerRow,
			host.width, host.height);
		view.MovePenTo(c.penX, c.penY);
		std::vector<uint8> expected = Expected(host, c.viewWidth, c.viewHeight, bitmap,
			BPoint(c.penX, c.penY));

		view.DrawBitmap(&bitmap);
		EXPECT_EQ(expected, host.bytes) << "pen at (" << c.penX << ", " << c.penY
			<< "), host rows of " << c.hostWidth << " pixels and " << c.hostPadding
			<< " bytes more";
		BPrivate::ViewSurface::Detach(&view);
	}
}


namespace {

typedef std::set<std::pair<int32, int32> > TileSet;


// The tiles (column, row) holding a pixel of the view whose four bytes
// differ between before and after.
TileSet
ChangedTiles(const HostPixels& before, const HostPixels& after)
{
	const int32 tile = BPrivate::ViewSurface::kDamageTileSize;
	TileSet tiles;
	for (int32 y = 0; y < after.height; y++) {
		for (int32 x = 0; x < after.width; x++) {
			size_t at = (size_t)y * after.bytesPerRow + x * 4;
			if (memcmp(&before.bytes[at], &after.bytes[at], 4) != 0)
				tiles.insert(std::make_pair(x / tile, y / tile));
		}
	}
	return tiles;
}


TileSet
NotedTiles(const BView& view, int32 width, int32 height)
{
	const int32 tile = BPrivate::ViewSurface::kDamageTileSize;
	int32 columns = 0;
	int32 rows = 0;
	const uint8* damage = BPrivate::ViewSurface::Damage(&view, &columns, &rows);
	TileSet tiles;
	EXPECT_EQ(columns, (width + tile - 1) / tile);
	EXPECT_EQ(rows, (height + tile - 1) / tile);
	if (damage == NULL)
		return tiles;
	for (int32 row = 0; row < rows; row++) {
		for (int32 column = 0; column < columns; column++) {
			if (damage[(size_t)row * columns + column] != 0)
				tiles.insert(std::make_pair(column, row));
		}
	}
	return tiles;
}


std::string
TilesText(const TileSet& tiles)
{
	std::ostringstream text;
	for (TileSet::const_iterator i = tiles.begin(); i != tiles.end(); i++)
		text << " (" << i->first << ", " << i->second << ")";
	return text.str();
}


class PresentDamage : public ::testing::TestWithParam<bool> {
protected:
	void SetUp() override
	{
		BPrivate::ViewSurface::LimitToBaselineVectors(GetParam());
	}

	void TearDown() override { BPrivate::ViewSurface::LimitToBaselineVectors(false); }
};

}	// namespace


// After each of a run of presents, the view holds a plain copy and the noted
// damage is exactly the tiles in which a pixel changed: on views from one
// pixel up, across tile edges, with the pen off the corner, host rows with
// bytes between them, and changes in any byte of a pixel, the fourth too.
TEST_P(PresentDamage, NotesExactlyTheTilesThatChanged)
{
	struct Case {
		int32 width;
		int32 height;
		int32 hostPadding;
		float penX;
		float penY;
	};
	const Case cases[] = {
		{ 1, 1, 0, 0, 0 },
		{ 1, 40, 4, 0, 0 },
		{ 40, 1, 0, 0, 0 },
		{ 15, 15, 0, 0, 0 },
		{ 16, 16, 0, 0, 0 },
		{ 17, 17, 12, 0, 0 },
		{ 64, 48, 0, 0, 0 },
		{ 97, 33, 20, 0, 0 },
		{ 250, 70, 0, 0, 0 },
		{ 61, 35, 8, 5, 3 },
		{ 61, 35, 0, -7, -18 },
		{ 61, 35, 4, 30.5f, 20.25f },
	};
	Bytes random(7);
	for (const Case& c : cases) {
		SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " pen at ("
			<< c.penX << ", " << c.penY << "), " << c.hostPadding << " bytes between rows");
		BBitmap bitmap(BRect(0, 0, c.width - 1, c.height - 1), B_RGB32);
		HostPixels host(c.width, c.height, c.width * 4 + c.hostPadding);
		BView view(BRect(0, 0, c.width - 1, c.height - 1), "view", B_FOLLOW_ALL,
			B_WILL_DRAW);
		BPrivate::ViewSurface::Attach(&view, host.bytes.data(), host.bytesPerRow,
			host.width, host.height);
		view.MovePenTo(c.penX, c.penY);
		EXPECT_TRUE(NotedTiles(view, c.width, c.height).empty());

		// The first present changes nearly everything; the later ones a few
		// pixels, a single byte each, all bytes of a pixel, or none at all.
		uint8* bits = (uint8*)bitmap.Bits();
		for (int32 y = 0; y < c.height; y++) {
			for (int32 x = 0; x < c.width * 4; x++)
				bits[(size_t)y * bitmap.BytesPerRow() + x] = (uint8)random.Next();
		}
		for (int32 present = 0; present < 12; present++) {
			int32 changes = present == 0 ? 0 : (int32)(random.Next() % 5);
			for (int32 i = 0; i < changes; i++) {
				int32 x = (int32)(random.Next() % c.width);
				int32 y = (int32)(random.Next() % c.height);
				uint8* pixel = bits + (size_t)y * bitmap.BytesPerRow() + x * 4;
				if (i % 2 == 0)
					pixel[random.Next() % 4] ^= (uint8)(1 + random.Next() % 255);
				else
					memset(pixel, (int)(random.Next() & 0xff), 4);
			}

			HostPixels before = host;
			std::vector<uint8> expected = Expected(host, c.width, c.height, bitmap,
				BPoint(c.penX, c.penY));
			BPrivate::ViewSurface::ClearDamage(&view);
			view.DrawBitmap(&bitmap);

			ASSERT_EQ(expected, host.bytes) << "present " << present;
			TileSet changed = ChangedTiles(before, host);
			TileSet noted = NotedTiles(view, c.width, c.height);
			EXPECT_EQ(changed, noted) << "present " << present << "\n  changed:"
				<< TilesText(changed) << "\n  noted:" << TilesText(noted);
		}

		// Damage adds up until it is cleared.
		HostPixels before = host;
		BPrivate::ViewSurface::ClearDamage(&view);
		bits[0] ^= 1;
		view.DrawBitmap(&bitmap);
		bits[(size_t)(c.height - 1) * bitmap.BytesPerRow() + (c.width - 1) * 4] ^= 2;
		view.DrawBitmap(&bitmap);
		EXPECT_EQ(ChangedTiles(before, host), NotedTiles(view, c.width, c.height));
		BPrivate::ViewSurface::Detach(&view);
	}
}


INSTANTIATE_TEST_SUITE_P(Forms, PresentDamage, ::testing::Values(false, true),
	[](const ::testing::TestParamInfo<bool>& info) {
		return std::string(info.param ? "Baseline" : "Widest");
	});


namespace {

// Pixels of one 32-bit value, in the bitmap or in the host's pixels.
void
SetPixel(BBitmap& bitmap, int32 x, int32 y, uint32 value)
{
	if (x < 0 || y < 0 || x > bitmap.Bounds().IntegerWidth()
		|| y > bitmap.Bounds().IntegerHeight())
		return;
	memcpy((uint8*)bitmap.Bits() + (size_t)y * bitmap.BytesPerRow() + x * 4, &value, 4);
}


void
FillRect(BBitmap& bitmap, int32 left, int32 top, int32 width, int32 height, uint32 value)
{
	for (int32 y = top; y < top + height; y++) {
		for (int32 x = left; x < left + width; x++)
			SetPixel(bitmap, x, y, value);
	}
}


void
SetPixel(HostPixels& host, int32 x, int32 y, uint32 value)
{
	memcpy(&host.bytes[(size_t)y * host.bytesPerRow + x * 4], &value, 4);
}


// One present of bitmap at pen, checked against a plain copy, and the damage
// against a plain comparison of the view's pixels before and after.
void
PresentAndCheck(BView& view, HostPixels& host, const BBitmap& bitmap, BPoint pen,
	int32 viewWidth, int32 viewHeight, const char* step)
{
	SCOPED_TRACE(step);
	HostPixels before = host;
	std::vector<uint8> expected = Expected(host, viewWidth, viewHeight, bitmap, pen);
	BPrivate::ViewSurface::ClearDamage(&view);
	view.DrawBitmap(&bitmap, pen);
	ASSERT_EQ(expected, host.bytes);
	TileSet changed = ChangedTiles(before, host);
	TileSet noted = NotedTiles(view, host.width, host.height);
	EXPECT_EQ(changed, noted) << "\n  changed:" << TilesText(changed) << "\n  noted:"
		<< TilesText(noted);
}

}	// namespace


// Frames that are mostly one value, as the saver's are, so that the present
// compares many tiles with the value they held instead of with the view:
// tiles go from one value to many and back, the value changes (in the fourth
// byte alone too), a tile differs from its value only in its first or its
// last pixel, the host writes the view's pixels and says so or attaches
// them again, and the pen moves. On views from one pixel up, bitmaps off the
// tile edges and smaller or larger than the view, host rows with bytes
// between them.
TEST_P(PresentDamage, FollowsTilesOfOneValue)
{
	struct Case {
		int32 width;
		int32 height;
		int32 hostPadding;
		int32 bitmapWidth;
		int32 bitmapHeight;
		float penX;
		float penY;
	};
	const Case cases[] = {
		{ 1, 1, 0, 1, 1, 0, 0 },
		{ 16, 16, 0, 16, 16, 0, 0 },
		{ 33, 17, 8, 33, 17, 0, 0 },
		{ 64, 48, 0, 64, 48, 0, 0 },
		{ 130, 70, 12, 130, 70, 0, 0 },
		{ 96, 64, 4, 80, 48, 16, 16 },
		{ 96, 64, 0, 90, 50, 5, 3 },
		{ 100, 60, 0, 120, 80, -7, -18 },
	};
	const uint32 kBlack = 0xff000000;
	Bytes random(11);
	for (const Case& c : cases) {
		SCOPED_TRACE(::testing::Message() << c.bitmapWidth << "x" << c.bitmapHeight
			<< " on " << c.width << "x" << c.height << " at (" << c.penX << ", " << c.penY
			<< "), " << c.hostPadding << " bytes between rows");
		BBitmap bitmap(BRect(0, 0, c.bitmapWidth - 1, c.bitmapHeight - 1), B_RGB32);
		HostPixels host(c.width, c.height, c.width * 4 + c.hostPadding);
		BView view(BRect(0, 0, c.width - 1, c.height - 1), "view", B_FOLLOW_ALL,
			B_WILL_DRAW);
		BPrivate::ViewSurface::Attach(&view, host.bytes.data(), host.bytesPerRow,
			host.width, host.height);
		BPoint pen(c.penX, c.penY);
		int32 left = (int32)floorf(c.penX);
		int32 top = (int32)floorf(c.penY);
		int32 tile = BPrivate::ViewSurface::kDamageTileSize;
		// A pixel of the bitmap at the given pixel of the view.
		auto setAtView = [&](int32 x, int32 y, uint32 value) {
			SetPixel(bitmap, x - left, y - top, value);
		};
		auto present = [&](const char* step) {
			PresentAndCheck(view, host, bitmap, pen, c.width, c.height, step);
		};

		FillRect(bitmap, 0, 0, c.bitmapWidth, c.bitmapHeight, kBlack);
		present("black");
		present("black again");

		// Squares of motes come, go and move, a few at a time.
		std::vector<std::pair<int32, int32> > squares;
		for (int32 frame = 0; frame < 6; frame++) {
			for (size_t i = 0; i < squares.size(); i++)
				FillRect(bitmap, squares[i].first, squares[i].second, 13, 13, kBlack);
			squares.clear();
			for (int32 i = 0; i < (frame == 3 ? 0 : 3); i++) {
				int32 x = (int32)(random.Next() % (c.bitmapWidth + 8)) - 8;
				int32 y = (int32)(random.Next() % (c.bitmapHeight + 8)) - 8;
				squares.push_back(std::make_pair(x, y));
				for (int32 dy = 0; dy < 13; dy++) {
					for (int32 dx = 0; dx < 13; dx++)
						SetPixel(bitmap, x + dx, y + dy, random.Next());
				}
			}
			present("squares");
		}

		// One pixel apart from its tile: the first pixel of a tile, which a
		// present takes as the tile's value, and the last; one byte of it.
		for (int32 corner = 0; corner < 2; corner++) {
			int32 x = corner == 0 ? tile : 2 * tile - 1;
			int32 y = corner == 0 ? tile : 2 * tile - 1;
			setAtView(x, y, kBlack ^ 0x00000100);
			present("a pixel apart");
			present("a pixel apart again");
			setAtView(x, y, kBlack);
			present("the pixel back");
		}

		// The value changes: in the fourth byte alone, then in its colour,
		// and some tiles take another value of their own.
		FillRect(bitmap, 0, 0, c.bitmapWidth, c.bitmapHeight, 0x00000000);
		present("the fourth byte");
		FillRect(bitmap, 0, 0, c.bitmapWidth, c.bitmapHeight, 0x80402010);
		present("a colour");
		FillRect(bitmap, tile - left, -top, tile, 2 * tile, 0x11223344);
		present("tiles of another value");
		FillRect(bitmap, tile - left, -top, tile, 2 * tile, 0x11223345);
		present("that value changes");
		FillRect(bitmap, tile - left, -top, tile, 2 * tile, 0x80402010);
		present("those tiles take the value around them");
		FillRect(bitmap, 0, 0, c.bitmapWidth, c.bitmapHeight, kBlack);
		present("black");

		// The host writes its pixels between presents, in tiles the
		// present knows to be of one value, and says so; or attaches the
		// same pixels again.
		for (int32 i = 0; i < 3; i++)
			SetPixel(host, random.Next() % c.width, random.Next() % c.height, random.Next());
		BPrivate::ViewSurface::PixelsChanged(&view);
		present("pixels changed");
		memset(host.bytes.data(), 0, host.bytes.size());
		BPrivate::ViewSurface::Attach(&view, host.bytes.data(), host.bytesPerRow,
			host.width, host.height);
		present("attached again");

		// Blocks of a tile each, all of different values, where the pen
		// puts the view's tiles; then the pen moves by a pixel across, down,
		// and both, either way, and back each time.
		for (int32 y = 0; y < c.bitmapHeight; y++) {
			for (int32 x = 0; x < c.bitmapWidth; x++)
				SetPixel(bitmap, x, y, 0x01000000 * ((x + left) / tile) + (y + top) / tile);
		}
		present("blocks");
		const BPoint moves[] = { BPoint(1, 0), BPoint(0, 1), BPoint(1, 1), BPoint(-1, 0),
			BPoint(0, -1), BPoint(-1, -1) };
		for (const BPoint& move : moves) {
			pen.Set(c.penX + move.x, c.penY + move.y);
			present("pen moved");
			pen.Set(c.penX, c.penY);
			present("pen back");
		}

		// The host's pixels as they end up, and not a byte beyond them.
		BPrivate::ViewSurface::Detach(&view);
	}
}


// A pixel of a tile of one value that the host wrote without saying so is not
// seen by the next present, which does not read that tile of the view;
// PixelsChanged() makes the present read it again, and restore it.
TEST_P(PresentDamage, ReadsTilesOfOneValueAgainOnlyWhenTold)
{
	const uint32 kBlack = 0xff000000;
	const uint32 kWhite = 0xffffffff;
	BBitmap bitmap(BRect(0, 0, 63, 47), B_RGB32);
	FillRect(bitmap, 0, 0, 64, 48, kBlack);
	HostPixels host(64, 48, 64 * 4);
	BView view(BRect(0, 0, 63, 47), "view", B_FOLLOW_ALL, B_WILL_DRAW);
	BPrivate::ViewSurface::Attach(&view, host.bytes.data(), host.bytesPerRow, 64, 48);
	view.DrawBitmap(&bitmap);
	view.DrawBitmap(&bitmap);

	SetPixel(host, 37, 21, kWhite);
	BPrivate::ViewSurface::ClearDamage(&view);
	view.DrawBitmap(&bitmap);
	uint32 pixel;
	memcpy(&pixel, &host.bytes[21 * host.bytesPerRow + 37 * 4], 4);
	EXPECT_EQ(kWhite, pixel) << "the present read a tile it knew to be black";
	EXPECT_TRUE(NotedTiles(view, 64, 48).empty());

	BPrivate::ViewSurface::PixelsChanged(&view);
	PresentAndCheck(view, host, bitmap, BPoint(0, 0), 64, 48, "told");
	EXPECT_EQ(TileSet({ std::make_pair(2, 1) }), NotedTiles(view, 64, 48));
	BPrivate::ViewSurface::Detach(&view);
}
