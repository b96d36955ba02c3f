#include "outputs/terminal/KittyPicture.h"

#include <glib.h>
#include <zlib.h>

#include <algorithm>


namespace {

// The image's number, and the number of its one placement: a new image with
// them replaces the old one where it is.
const std::string kImage = "i=1742,p=1";
const char kDelete[] = "\x1b_Ga=d,d=I,i=1742,q=2\x1b\\";
// The most base64 a command may carry.
constexpr size_t kChunk = 4096;


// The bytes in base64, as kitty's commands carry them, in one line.
void
AppendBase64(const std::vector<uint8_t>& bytes, size_t count, std::string& out)
{
	// GLib's encoder writes at most this much, close included.
	out.resize((count / 3 + 1) * 4 + 4);
	gint state = 0;
	gint save = 0;
	char* text = out.data();
	gsize length = g_base64_encode_step(bytes.data(), count, FALSE, text, &state, &save);
	length += g_base64_encode_close(FALSE, text + length, &state, &save);
	out.resize(length);
}

}	// namespace


// One zlib stream, reset for each rectangle rather than made anew: making
// one costs more than packing a small rectangle. The fastest level; a hash
// of 4 KB (memory level 4) rather than 64, as a reset clears it and a frame
// packs some 60 rectangles of a few kilobytes.
struct KittyPicture::Deflater {
	Deflater()
	{
		ready = deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15, 4, Z_DEFAULT_STRATEGY) == Z_OK;
	}
	~Deflater()
	{
		if (ready)
			deflateEnd(&stream);
	}

	// bytes packed into packed; false when that fails.
	bool Pack(const std::vector<uint8_t>& bytes, size_t count, std::vector<uint8_t>& packed)
	{
		if (!ready || deflateReset(&stream) != Z_OK)
			return false;
		packed.resize(deflateBound(&stream, count));
		stream.next_in = const_cast<Bytef*>(bytes.data());
		stream.avail_in = static_cast<uInt>(count);
		stream.next_out = packed.data();
		stream.avail_out = static_cast<uInt>(packed.size());
		if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
			return false;
		packed.resize(stream.total_out);
		return true;
	}

	z_stream stream = {};
	bool ready = false;
};


KittyPicture::KittyPicture()
	:
	fDeflater(std::make_unique<Deflater>())
{
}


KittyPicture::~KittyPicture() = default;


void
KittyPicture::SetArea(const TerminalArea& area)
{
	fArea = area;
	fFrame.Invalidate();
}


const char*
KittyPicture::Leave() const
{
	return kDelete;
}


void
KittyPicture::Erase(std::string& out)
{
	if (fShown)
		out += kDelete;
	fShown = false;
	fFrame.Invalidate();
}


bool
KittyPicture::_Pack(PixelRect rect)
{
	size_t count = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height) * 3;
	fRgb.resize(count);
	fFrame.CopyRgb(rect, fRgb.data());
	bool packed = fDeflater->Pack(fRgb, count, fPacked) && fPacked.size() < count;
	AppendBase64(packed ? fPacked : fRgb, packed ? fPacked.size() : count, fBase64);
	return packed;
}


void
KittyPicture::_Send(const std::string& keys, PixelRect rect, std::string& out)
{
	bool packed = _Pack(rect);
	for (size_t at = 0; at < fBase64.size() || at == 0; at += kChunk) {
		bool more = at + kChunk < fBase64.size();
		out += "\x1b_G";
		if (at == 0) {
			out += keys;
			out += ",f=24,q=2,s=" + std::to_string(rect.width) + ",v="
				+ std::to_string(rect.height) + (packed ? ",o=z," : ",");
		}
		out += more ? "m=1;" : "m=0;";
		out.append(fBase64, at, kChunk);
		out += "\x1b\\";
	}
}


void
KittyPicture::_Edit(PixelRect rect, std::string& out)
{
	// kitty takes an edit of a frame in one command only (a second piece
	// would start an image of its own): a rectangle whose pixels do not fit
	// one goes as two halves.
	bool packed = _Pack(rect);
	if (fBase64.size() > kChunk && (rect.width > 1 || rect.height > 1)) {
		PixelRect first = rect;
		PixelRect second = rect;
		if (rect.height > 1) {
			first.height = rect.height / 2;
			second.y += first.height;
			second.height -= first.height;
		} else {
			first.width = rect.width / 2;
			second.x += first.width;
			second.width -= first.width;
		}
		_Edit(first, out);
		_Edit(second, out);
		return;
	}
	out += "\x1b_Ga=f,r=1,i=1742,x=" + std::to_string(rect.x) + ",y=" + std::to_string(rect.y)
		+ ",f=24,q=2,s=" + std::to_string(rect.width) + ",v=" + std::to_string(rect.height)
		+ (packed ? ",o=z;" : ";");
	out += fBase64;
	out += "\x1b\\";
}


size_t
KittyPicture::Encode(const PixelView& frame, const Damage& damage, std::string& out)
{
	size_t start = out.size();
	Size area{fArea.PixelWidth(), fArea.PixelHeight()};
	if (area.width < 1 || area.height < 1)
		return 0;
	if (fFrame.Update(frame, damage, area, fChanged)) {
		// At the top-left cell, the cursor left there.
		out += "\x1b[H";
		_Send("a=T,C=1," + kImage, fChanged.front(), out);
		fShown = true;
	} else {
		for (const PixelRect& rect : fChanged)
			_Edit(rect, out);
	}
	return out.size() - start;
}
