// The picture as one image of kitty's graphics protocol, of the area's pixels,
// at the terminal's top-left cell: sent whole when new, then only the
// rectangles that changed, written into the image where it is (an edit of its
// one frame). Pixels go as RGB, compressed with zlib where that is smaller,
// in base64 of at most 4096 bytes a command; the terminal is asked not to
// answer.
#ifndef SAVERHOST_KITTY_PICTURE_H
#define SAVERHOST_KITTY_PICTURE_H

#include <memory>
#include <string>
#include <vector>

#include "outputs/terminal/ScaledFrame.h"
#include "outputs/terminal/TerminalPainter.h"

class KittyPicture : public TerminalPainter {
public:
	KittyPicture();
	~KittyPicture() override;

	void SetArea(const TerminalArea& area) override;
	void Invalidate() override { fFrame.Invalidate(); }
	size_t Encode(const PixelView& frame, const Damage& damage, std::string& out) override;
	void Erase(std::string& out) override;
	const char* Leave() const override;

private:
	// The rectangle's pixels in fBase64, packed or not: whether packed.
	bool _Pack(PixelRect rect);
	// The rectangle as a new image: control keys, then the pixels in pieces.
	void _Send(const std::string& keys, PixelRect rect, std::string& out);
	// The rectangle written into the image where it is.
	void _Edit(PixelRect rect, std::string& out);

	struct Deflater;

	TerminalArea fArea;
	ScaledFrame fFrame;
	bool fShown = false;
	std::vector<PixelRect> fChanged;
	std::vector<uint8_t> fRgb;
	std::vector<uint8_t> fPacked;
	std::string fBase64;
	std::unique_ptr<Deflater> fDeflater;
};

#endif	// SAVERHOST_KITTY_PICTURE_H
