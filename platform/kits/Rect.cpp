#include <Rect.h>

#include <math.h>


// The number of whole pixels a span covers beyond its first, rounded up;
// empty, NaN and out-of-range spans give 0 or saturate.
static int32
integer_span(float from, float to)
{
	double span = ceil((double)to - (double)from);
	if (!(span > 0))
		return 0;
	if (span > 2147483646.0)
		return 2147483646;
	return (int32)span;
}


int32
BRect::IntegerWidth() const
{
	return integer_span(left, right);
}


int32
BRect::IntegerHeight() const
{
	return integer_span(top, bottom);
}
