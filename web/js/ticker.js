// The deadlines of the saver's ticks, as saverhost's Ticker keeps them: each
// deadline is the one before plus the period, not "now" plus the period, so
// the time spent drawing does not add up into drift; a tick that comes too
// late (a busy page, a tab that was hidden) is not made up for with a burst
// of frames: the next deadline is the first one still ahead.

// The periods the host keeps to, whatever the saver asks for, in
// milliseconds: no busy loop for a period of zero, and a saver asking for
// hours still gets a tick.
export const kShortestTick = 1;
export const kLongestTick = 10000;

export function clampPeriod(milliseconds) {
	if (!(milliseconds >= kShortestTick))
		return kShortestTick;
	return Math.min(milliseconds, kLongestTick);
}


export class Ticker {
	// The first tick is due at now.
	constructor(now) {
		this.deadline = now;
		this.skipped = 0;
	}

	// Whether the tick is due at now. A frame of the display may come up to
	// slack milliseconds early: the tick is taken there rather than one
	// display frame late.
	due(now, slack = 0) {
		return now >= this.deadline - slack;
	}

	// Moves on to the next tick, period milliseconds after the current one;
	// when that has passed too, to the first one still ahead of now.
	advance(period, now) {
		period = clampPeriod(period);
		this.deadline += period;
		if (this.deadline <= now) {
			const behind = Math.floor((now - this.deadline) / period) + 1;
			this.deadline += behind * period;
			this.skipped += behind;
		}
		return this.deadline;
	}
}
