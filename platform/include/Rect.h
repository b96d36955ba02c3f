// A rectangle with inclusive edges: BRect(0, 0, 639, 479) covers 640 x 480 pixels.
#ifndef _RECT_H
#define _RECT_H

#include <Point.h>

class BRect {
public:
			float				left;
			float				top;
			float				right;
			float				bottom;

								BRect(float l, float t, float r, float b)
									: left(l), top(t), right(r), bottom(b) {}
#ifndef ADDON_API_ONLY
								BRect() : left(0), top(0), right(-1), bottom(-1) {}
								BRect(BPoint leftTop, BPoint rightBottom)
									: left(leftTop.x), top(leftTop.y),
									  right(rightBottom.x), bottom(rightBottom.y) {}

			void				Set(float l, float t, float r, float b)
									{ left = l; top = t; right = r; bottom = b; }

			BPoint				LeftTop() const { return BPoint(left, top); }
			BPoint				RightBottom() const { return BPoint(right, bottom); }

			float				Width() const { return right - left; }
			float				Height() const { return bottom - top; }
			int32				IntegerWidth() const;
			int32				IntegerHeight() const;

			bool				IsValid() const
									{ return left <= right && top <= bottom; }

			bool				operator==(const BRect& other) const
									{ return left == other.left && top == other.top
										&& right == other.right && bottom == other.bottom; }
			bool				operator!=(const BRect& other) const
									{ return !(*this == other); }
#endif
};

#endif	// _RECT_H
