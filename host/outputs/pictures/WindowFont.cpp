#include "outputs/pictures/WindowFont.h"

#include "base/Report.h"
#include "outputs/pictures/WindowPictures.h"


Result<SansFont*>
WindowFont::Get()
{
	if (!fFont && fError.empty()) {
		Result<std::unique_ptr<SansFont>> loaded = SansFont::Load(kTextPixels);
		if (loaded)
			fFont = std::move(loaded.Value());
		else
			fError = loaded.Message();
	}
	if (!fFont)
		return Error{fError};
	return fFont.get();
}


SansFont*
WindowFont::ForExtra()
{
	Result<SansFont*> font = Get();
	if (font)
		return font.Value();
	if (!fReported)
		Report(font.Message());
	fReported = true;
	return nullptr;
}
