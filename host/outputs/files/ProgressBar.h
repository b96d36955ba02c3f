// A line on standard error, redrawn in place, that tells how far a run that
// writes files has got: only when standard error is a terminal.
#ifndef SAVERHOST_PROGRESS_BAR_H
#define SAVERHOST_PROGRESS_BAR_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/MonotonicClock.h"

// "LABEL [#####.....] 120/250  48%  ETA 0:05": the time left is what the
// frames so far took each, times the frames to come.
std::string ProgressLine(const std::string& label, int32_t done, int32_t total,
	std::chrono::duration<double> elapsed);

class ProgressBar {
public:
	// Draws on stream only when shown is true.
	ProgressBar(std::string label, int32_t total, const MonotonicClock& clock, std::FILE* stream,
		bool shown);
	~ProgressBar() { End(); }

	ProgressBar(const ProgressBar&) = delete;
	ProgressBar& operator=(const ProgressBar&) = delete;

	// done frames of the total are written; redraws at most ten times a
	// second, and always for the last frame.
	void Update(int32_t done);
	// Text to show after the bar, such as the --fps figures.
	void SetNote(std::string note) { fNote = std::move(note); }
	// Ends the line, so that what follows starts on a line of its own.
	void End();

private:
	void _Draw(int32_t done);

	std::string fLabel;
	int32_t fTotal;
	const MonotonicClock& fClock;
	std::FILE* fStream;
	bool fShown;
	MonotonicClock::TimePoint fStart;
	MonotonicClock::TimePoint fLastDrawn;
	bool fDrawn = false;
	std::string fNote;
};

#endif	// SAVERHOST_PROGRESS_BAR_H
