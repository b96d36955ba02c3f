// A view that shows one line of text.
#ifndef _STRING_VIEW_H
#define _STRING_VIEW_H

#include <View.h>

class _EXPORT BStringView : public BView {
public:
								BStringView(BRect frame, const char* name,
									const char* text,
									uint32 resizingMode
										= B_FOLLOW_LEFT | B_FOLLOW_TOP,
									uint32 flags = B_WILL_DRAW);
	virtual						~BStringView();

#ifndef ADDON_API_ONLY
			const char*			Text() const;
			void				SetText(const char* text);
#endif

private:
			char*				fText;
};

#endif	// _STRING_VIEW_H
