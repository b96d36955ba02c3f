// A point in a view's coordinate system.
#ifndef _POINT_H
#define _POINT_H

#include <SupportDefs.h>

class BPoint {
public:
			float				x;
			float				y;

								BPoint() : x(0), y(0) {}
#ifndef ADDON_API_ONLY
								BPoint(float x, float y) : x(x), y(y) {}

			void				Set(float newX, float newY)
									{ x = newX; y = newY; }

			bool				operator==(const BPoint& other) const
									{ return x == other.x && y == other.y; }
			bool				operator!=(const BPoint& other) const
									{ return !(*this == other); }
#endif
};

#endif	// _POINT_H
