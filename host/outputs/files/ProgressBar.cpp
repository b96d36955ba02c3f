#include "outputs/files/ProgressBar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>


namespace {

constexpr int kBarWidth = 20;
constexpr std::chrono::milliseconds kRedrawEvery{100};


std::string
Duration(double seconds)
{
	long whole = std::lround(seconds);
	char text[32];
	if (whole >= 3600) {
		std::snprintf(text, sizeof(text), "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
			whole % 60);
	} else {
		std::snprintf(text, sizeof(text), "%ld:%02ld", whole / 60, whole % 60);
	}
	return text;
}


// The terminal's width in columns, or 0 when it cannot be told.
int
Columns(std::FILE* stream)
{
	winsize size{};
	if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0)
		return 0;
	return size.ws_col;
}

}	// namespace


std::string
ProgressLine(const std::string& label, int32_t done, int32_t total,
	std::chrono::duration<double> elapsed)
{
	double fraction = total > 0 ? std::clamp(static_cast<double>(done) / total, 0.0, 1.0) : 1.0;
	int filled = static_cast<int>(fraction * kBarWidth);
	std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.')
		+ "]";

	std::string left = "--:--";
	if (done >= total)
		left = Duration(0);
	else if (done > 0)
		left = Duration(elapsed.count() / done * (total - done));

	char counts[64];
	std::snprintf(counts, sizeof(counts), " %ld/%ld %3d%%  ETA ", static_cast<long>(done),
		static_cast<long>(total), static_cast<int>(fraction * 100));
	return label + " " + bar + counts + left;
}


ProgressBar::ProgressBar(std::string label, int32_t total, const MonotonicClock& clock,
	std::FILE* stream, bool shown)
	:
	fLabel(std::move(label)),
	fTotal(total),
	fClock(clock),
	fStream(stream),
	fShown(shown),
	fStart(clock.Now()),
	fLastDrawn(fStart)
{
}


void
ProgressBar::Update(int32_t done)
{
	if (!fShown)
		return;
	MonotonicClock::TimePoint now = fClock.Now();
	if (fDrawn && done < fTotal && now - fLastDrawn < kRedrawEvery)
		return;
	fLastDrawn = now;
	_Draw(done);
}


void
ProgressBar::_Draw(int32_t done)
{
	std::string line = ProgressLine(fLabel, done, fTotal, fClock.Now() - fStart);
	if (!fNote.empty())
		line += "  " + fNote;
	// Longer than the terminal is wide, it would wrap and never be redrawn
	// in place.
	if (int columns = Columns(fStream); columns > 1 && line.size() >= static_cast<size_t>(columns))
		line.resize(static_cast<size_t>(columns) - 1);
	std::fprintf(fStream, "\r%s\033[K", line.c_str());
	std::fflush(fStream);
	fDrawn = true;
}


void
ProgressBar::End()
{
	if (fDrawn) {
		std::fputc('\n', fStream);
		std::fflush(fStream);
	}
	fDrawn = false;
}
