#include "run/Surface.h"

#include <ViewSurface.h>


Surface::Surface(Token, Size size, std::unique_ptr<uint8_t, Freer> bits, const char* name)
	:
	fSize(size),
	fBytesPerRow(static_cast<size_t>(size.width) * 4),
	fBits(std::move(bits)),
	fView(std::make_unique<BView>(BRect(0, 0, size.width - 1, size.height - 1), name,
		B_FOLLOW_ALL, B_WILL_DRAW))
{
	DrawInto(std::nullopt);
}


Surface::~Surface()
{
	// The view forgets the pixels before they go; it deletes its children
	// itself.
	BPrivate::ViewSurface::Detach(fView.get());
}


Result<std::unique_ptr<Surface>>
Surface::Create(Size size, const char* name)
{
	std::string dimensions = std::to_string(size.width) + "x" + std::to_string(size.height);
	// Each side must fit the view's int32 row length (4 bytes a pixel).
	if (size.width < 1 || size.height < 1 || size.width > INT32_MAX / 4)
		return Error{"cannot make a " + dimensions + " view"};

	// calloc() gives black pixels, and leaves pages the saver never draws on
	// untouched.
	size_t bytesPerRow = static_cast<size_t>(size.width) * 4;
	std::unique_ptr<uint8_t, Freer> bits(
		static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size.height), bytesPerRow)));
	if (!bits) {
		return Error{"not enough memory for a " + dimensions + " view ("
			+ std::to_string(bytesPerRow * size.height / (1024 * 1024))
			+ " MiB); try a smaller --size"};
	}
	return Result<std::unique_ptr<Surface>>(
		std::make_unique<Surface>(Token{}, size, std::move(bits), name));
}


PixelView
Surface::Pixels() const
{
	return PixelView{fTarget.bits, fTarget.bytesPerRow, fSize.width, fSize.height};
}


void
Surface::DrawInto(const std::optional<PixelTarget>& lent)
{
	// The surface's own pixels are written by the view's presents alone.
	PixelTarget target = lent ? *lent : PixelTarget{fBits.get(), fBytesPerRow, true};
	if (target.bits == fTarget.bits && target.bytesPerRow == fTarget.bytesPerRow) {
		// The same pixels, written by someone else since the last frame.
		if (!target.untouched) {
			BPrivate::ViewSurface::PixelsChanged(fView.get());
			fNewPixels = true;
		}
		return;
	}
	fTarget = target;
	BPrivate::ViewSurface::Attach(fView.get(), fTarget.bits,
		static_cast<int32>(fTarget.bytesPerRow), fSize.width, fSize.height);
	fNewPixels = true;
}


const Damage&
Surface::TakeDamage()
{
	// Pixels just lent held something else before: whoever shows them must
	// take all of them.
	int32 columns = 0;
	int32 rows = 0;
	const uint8* tiles = BPrivate::ViewSurface::Damage(fView.get(), &columns, &rows);
	if (fNewPixels || tiles == nullptr)
		fDamage.SetWhole();
	else
		fDamage.ReadTiles(tiles, columns, rows, BPrivate::ViewSurface::kDamageTileSize, fSize);
	fNewPixels = false;
	BPrivate::ViewSurface::ClearDamage(fView.get());
	return fDamage;
}
