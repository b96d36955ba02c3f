#include "run/Clock.h"

#include <optional>


namespace {

std::optional<time_t> sPinnedClock;
// The second a DistinctSecond holds time() at, and the last one it took.
std::optional<time_t> sHeldSecond;
std::optional<time_t> sLastDistinct;

}	// namespace


void
PinClock(time_t seconds)
{
	sPinnedClock = seconds;
}


// Replaces the C library's time() for the whole process: the linker exports it
// from the executable (see host/CMakeLists.txt), and the dynamic linker binds
// the add-on's references to the executable's definition first.
extern "C" time_t
time(time_t* result) noexcept
{
	time_t now;
	if (sHeldSecond) {
		now = *sHeldSecond;
	} else if (sPinnedClock) {
		now = *sPinnedClock;
	} else {
		timespec real;
		now = clock_gettime(CLOCK_REALTIME, &real) == 0 ? real.tv_sec : static_cast<time_t>(-1);
	}
	if (result != nullptr)
		*result = now;
	return now;
}


DistinctSecond::DistinctSecond()
{
	time_t now = time(nullptr);
	if (sLastDistinct && now <= *sLastDistinct)
		now = *sLastDistinct + 1;
	sLastDistinct = now;
	sHeldSecond = now;
}


DistinctSecond::~DistinctSecond()
{
	sHeldSecond.reset();
}
