#include <StringView.h>

#include <stdlib.h>
#include <string.h>


BStringView::BStringView(BRect frame, const char* name, const char* text,
	uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags),
	fText(strdup(text != NULL ? text : ""))
{
}


BStringView::~BStringView()
{
	free(fText);
}


const char*
BStringView::Text() const
{
	return fText;
}


void
BStringView::SetText(const char* text)
{
	free(fText);
	fText = strdup(text != NULL ? text : "");
}
