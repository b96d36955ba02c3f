// time() for the web build: the clock that the page pins with ?clock=T, as
// saverhost --clock T does on Linux, or else the page's wall clock in whole
// seconds. It takes the place of wasi-libc's time(), which would ask a WASI
// runtime for the time; the page has none.
#include <stdint.h>
#include <time.h>


// The page's wall clock: Date.now(), in whole seconds.
__attribute__((import_module("dustglow"), import_name("wall_clock_seconds")))
extern double dustglow_wall_clock_seconds(void);

static int sPinned;
static time_t sPinnedSeconds;


time_t
time(time_t* result)
{
	time_t now = sPinned ? sPinnedSeconds : (time_t)dustglow_wall_clock_seconds();
	if (result != NULL)
		*result = now;
	return now;
}


// From now on time() reports seconds, whatever the real time.
__attribute__((export_name("dg_pin_clock")))
void
dg_pin_clock(int64_t seconds)
{
	sPinned = 1;
	sPinnedSeconds = (time_t)seconds;
}
