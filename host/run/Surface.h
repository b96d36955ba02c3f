// A view for the saver to draw on, with pixels the host owns: B_RGB32 rows,
// black until the saver draws.
#ifndef SAVERHOST_SURFACE_H
#define SAVERHOST_SURFACE_H

#include <cstdlib>
#include <memory>
#include <optional>

#include <View.h>

#include "base/Damage.h"
#include "base/PixelView.h"
#include "base/Result.h"
#include "base/Size.h"
#include "base/PixelTarget.h"

class Surface {
	// Only Create() makes surfaces.
	struct Token {
		explicit Token() = default;
	};
	struct Freer {
		void operator()(uint8_t* bits) const { std::free(bits); }
	};

public:
	// A view of the given size named name, or why its pixels could not be had.
	static Result<std::unique_ptr<Surface>> Create(Size size, const char* name);

	Surface(Token, Size size, std::unique_ptr<uint8_t, Freer> bits, const char* name);
	~Surface();

	Surface(const Surface&) = delete;
	Surface& operator=(const Surface&) = delete;

	BView* View() const { return fView.get(); }
	Size Dimensions() const { return fSize; }
	// Where the view's pixels are now: the surface's own, or those lent for
	// the current frame.
	PixelView Pixels() const;

	// Points the view at pixels an output lent for the next frame, or back at
	// the surface's own. Lent pixels that are not untouched are taken as new,
	// even at the address the view had.
	void DrawInto(const std::optional<PixelTarget>& lent);

	// What the saver's presents changed in the view's pixels since the last
	// call: everything the first time, and when they were lent anew or
	// written by someone else.
	const Damage& TakeDamage();

private:
	Size fSize;
	size_t fBytesPerRow;
	std::unique_ptr<uint8_t, Freer> fBits;
	std::unique_ptr<BView> fView;
	PixelTarget fTarget;
	Damage fDamage;
	bool fNewPixels = true;
};

#endif	// SAVERHOST_SURFACE_H
