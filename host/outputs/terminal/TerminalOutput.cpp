#include "outputs/terminal/TerminalOutput.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Report.h"
#include "base/SystemReason.h"
#include "outputs/terminal/ColorSupport.h"
#include "outputs/terminal/KittyPicture.h"
#include "outputs/terminal/SixelPicture.h"
#include "outputs/terminal/TerminalProbe.h"


namespace {

using Clock = std::chrono::steady_clock;

const char kResetAndClear[] = "\x1b[0m\x1b[2J";
// The string terminator: ends an image that was cut short.
const char kEndString[] = "\x1b\\";


void
AppendCursorTo(int32_t row, int32_t column, std::string& out)
{
	out += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
}


// Characters, not bytes: what a line of text takes on the terminal.
size_t
CharacterCount(const std::string& text)
{
	return static_cast<size_t>(std::count_if(text.begin(), text.end(),
		[](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}


void
AppendRepeated(const char* piece, int32_t count, std::string& out)
{
	for (int32_t i = 0; i < count; i++)
		out += piece;
}


// Where the settings panel goes in the terminal: its frame's top-left cell,
// the cells inside the frame, and the cells per pixel of the panel.
struct PanelBox {
	int32_t top;
	int32_t left;
	int32_t innerWidth;
	int32_t innerHeight;
	double scale;
};


// The panel's shape: a cell is about twice as high as wide, so a row takes
// twice the pixels a column does. Room is left for the frame and, below it,
// the hint.
PanelBox
FitPanel(Size panel, int32_t columns, int32_t rows)
{
	double width = std::max(panel.width, 1);
	double height = std::max(panel.height, 1);
	double scale = std::min((columns - 2) / width, 2 * (rows - 3) / height);
	PanelBox box;
	box.innerWidth = std::max(1, static_cast<int32_t>(width * scale));
	box.innerHeight = std::max(1, static_cast<int32_t>(height * scale / 2));
	box.left = (columns - box.innerWidth - 2) / 2;
	box.top = (rows - box.innerHeight - 3) / 2;
	box.scale = scale;
	return box;
}


// The frame, with " settings " in its top edge where that fits.
void
AppendBox(const PanelBox& box, std::string& out)
{
	const char* title = " settings ";
	AppendCursorTo(box.top, box.left, out);
	out += "\u250c";
	if (box.innerWidth >= 12) {
		out += "\u2500";
		out += title;
		AppendRepeated("\u2500", box.innerWidth - 1 - static_cast<int32_t>(std::strlen(title)),
			out);
	} else {
		AppendRepeated("\u2500", box.innerWidth, out);
	}
	out += "\u2510";
	for (int32_t row = 1; row <= box.innerHeight; row++) {
		AppendCursorTo(box.top + row, box.left, out);
		out += "\u2502";
		AppendCursorTo(box.top + row, box.left + box.innerWidth + 1, out);
		out += "\u2502";
	}
	AppendCursorTo(box.top + box.innerHeight + 1, box.left, out);
	out += "\u2514";
	AppendRepeated("\u2500", box.innerWidth, out);
	out += "\u2518";
}


// Each label at its frame's place inside the box; frames are in their
// parent's coordinates.
void
AppendLabels(const SettingsPanel& panel, const PanelBox& box, std::string& out)
{
	std::vector<BPoint> origins(1, BPoint(0, 0));
	for (const SettingsItem& item : panel.items) {
		size_t depth = static_cast<size_t>(std::max(item.depth, 0));
		if (depth >= origins.size())
			origins.resize(depth + 1, origins.back());
		BPoint at(origins[depth].x + item.frame.left, origins[depth].y + item.frame.top);
		origins.resize(depth + 2);
		origins[depth + 1] = at;
		if (!item.hasText)
			continue;

		double middle = at.y + item.frame.Height() / 2;
		int32_t column = static_cast<int32_t>(std::floor(at.x * box.scale));
		int32_t row = static_cast<int32_t>(std::floor(middle * box.scale / 2));
		if (column < 0 || column >= box.innerWidth || row < 0 || row >= box.innerHeight)
			continue;
		AppendCursorTo(box.top + 1 + row, box.left + 1 + column, out);
		out += TerminalText(item.text, static_cast<size_t>(box.innerWidth - column));
	}
	if (panel.items.empty()) {
		std::string empty = TerminalText("the saver put nothing on its settings panel",
			static_cast<size_t>(box.innerWidth));
		AppendCursorTo(box.top + 1 + box.innerHeight / 2,
			box.left + 1 + (box.innerWidth - static_cast<int32_t>(empty.size())) / 2, out);
		out += empty;
	}
}

// tmux and screen pass neither sixel nor kitty's images to the terminal
// they run in, whatever it answers through them.
bool
InsideMultiplexer()
{
	const char* term = std::getenv("TERM");
	for (const char* variable : {"TMUX", "STY"}) {
		const char* value = std::getenv(variable);
		if (value != nullptr && *value != '\0')
			return true;
	}
	return term != nullptr && (std::strncmp(term, "screen", 6) == 0
		|| std::strncmp(term, "tmux", 4) == 0);
}

}	// namespace


TerminalOutput::TerminalOutput()
	:
	fOutputFd(STDOUT_FILENO),
	fInputFd(-1),
	fKeysFromStandardInput(false)
{
	if (isatty(STDIN_FILENO)) {
		fInputFd = STDIN_FILENO;
		fKeysFromStandardInput = true;
	}
}


TerminalOutput::TerminalOutput(int outputFd, int inputFd)
	:
	fOutputFd(outputFd),
	fInputFd(inputFd),
	fKeysFromStandardInput(inputFd >= 0 && isatty(inputFd))
{
}


TerminalOutput::~TerminalOutput()
{
	// The normal screen first, then what was said on the other one.
	fSession.reset();
	if (fOwnsInput)
		close(fInputFd);
	for (const std::string& notice : fNotices)
		Report(notice);
}


Result<Size>
TerminalOutput::Open(const Options& options)
{
	if (!isatty(fOutputFd))
		return Error{"standard output is not a terminal; try --record dust.mp4 or "
			"--snapshot dust.png"};
	Result<TerminalColors> colors = ColorsOfTerminal(fOutputFd);
	if (!colors)
		return Error{colors.Message()};

	// Keys from the terminal itself when standard input is redirected.
	if (fInputFd < 0 && !fOwnsInput) {
		int tty = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
		if (tty >= 0 && isatty(tty)) {
			fInputFd = tty;
			fOwnsInput = true;
		} else if (tty >= 0) {
			close(tty);
		}
	}

	fColors = colors.Value();
	fPixelsAsked = options.terminalPixels;
	fStatusLine = options.fps;
	fOpened = true;
	return options.size;
}


Result<void>
TerminalOutput::_Begin()
{
	if (fSession)
		return {};
	if (!fOpened)
		return Error{"the terminal output was used before it was opened"};
	Result<std::unique_ptr<TerminalSession>> begun = TerminalSession::Begin(fOutputFd,
		fInputFd);
	if (!begun)
		return Error{begun.Message()};
	fSession = std::move(begun.Value());
	fTerminal = fSession->Measure();
	_ChoosePicture();
	_Layout();
	fPicture->Invalidate();
	fStatusChanged = true;
	return {};
}


void
TerminalOutput::_ChoosePicture()
{
	TerminalPixels kind = fPixelsAsked.value_or(TerminalPixels::Cells);
	SixelTerminal sixel;
	fPixels = fSession->MeasurePixels();
	if (kind != TerminalPixels::Cells || (!fPixelsAsked && !InsideMultiplexer())) {
		std::string keys;
		TerminalAnswers answers = AskTerminal(fOutputFd, fInputFd,
			TerminalQuestions(true, fPixels.width == 0), keys);
		_TakeKeys(keys);
		if (fPixels.width == 0) {
			fPixels = answers.pixels;
			fAskPixels = fPixels.width > 0;
		}
		if (!fPixelsAsked) {
			kind = answers.kitty ? TerminalPixels::Kitty
				: answers.sixel ? TerminalPixels::Sixel : TerminalPixels::Cells;
		}
		sixel.registers = answers.colorRegisters;
		sixel.largest = answers.largestImage;
		sixel.fewImages = answers.version.rfind("XTerm(", 0) == 0;
	}
	// Without the size of a pixel nothing can be placed.
	if (kind != TerminalPixels::Cells
			&& (fPixels.width < fTerminal.width || fPixels.height < fTerminal.height)) {
		if (fPixelsAsked) {
			fNotices.push_back("--terminal-pixels: the terminal does not tell its size in "
				"pixels, so the picture was drawn in cells");
		}
		kind = TerminalPixels::Cells;
	}

	if (kind == TerminalPixels::Kitty)
		fPicture = std::make_unique<KittyPicture>();
	else if (kind == TerminalPixels::Sixel)
		fPicture = std::make_unique<SixelPicture>(sixel);
	else
		fPicture = std::make_unique<TerminalPicture>(fColors);
	fSession->SetLeave(fPicture->Leave());
}


Size
TerminalOutput::_MeasurePixels()
{
	Size pixels = fSession->MeasurePixels();
	if (pixels.width > 0 || !fAskPixels)
		return pixels;
	std::string keys;
	pixels = AskTerminal(fOutputFd, fInputFd, TerminalQuestions(false, true), keys).pixels;
	_TakeKeys(keys);
	return pixels;
}


void
TerminalOutput::_TakeKeys(const std::string& keys)
{
	if (fKeys.Feed(keys.data(), keys.size(), Clock::now()))
		fQuitTyped = true;
}


void
TerminalOutput::_Layout()
{
	TerminalArea area;
	area.columns = fTerminal.width;
	area.rows = fTerminal.height;
	if (fStatusLine && area.rows > 1)
		area.rows--;
	if (fTerminal.width > 0 && fTerminal.height > 0) {
		area.cellWidth = fPixels.width / fTerminal.width;
		area.cellHeight = fPixels.height / fTerminal.height;
	}
	fPicture->SetArea(area);
}


void
TerminalOutput::_FollowTerminal(std::string& out)
{
	TerminalSession::Changes changes = fSession->TakeChanges();
	if (changes.resized || changes.continued) {
		Size size = fSession->Measure();
		Size pixels = _MeasurePixels();
		if (changes.continued || !SameSize(size, fTerminal) || !SameSize(pixels, fPixels)) {
			fTerminal = size;
			fPixels = pixels;
			_Layout();
			fClear = true;
		}
	}
	if (fClear) {
		fPicture->Erase(out);
		out += kResetAndClear;
		fStatusChanged = true;
		fClear = false;
	}
}


void
TerminalOutput::_AppendStatus(std::string& out)
{
	fStatusChanged = false;
	if (!fStatusLine || fTerminal.height < 2)
		return;
	AppendCursorTo(fTerminal.height - 1, 0, out);
	out += "\x1b[0m\x1b[2K";
	// One column short of the edge, so that the cursor never waits to wrap.
	out += TerminalText(fStatus, static_cast<size_t>(std::max(fTerminal.width - 1, 0)));
	fPicture->ForgetCursor();
}


bool
TerminalOutput::_ReadKeys(bool anyKey)
{
	char bytes[256];
	ssize_t got = read(fInputFd, bytes, sizeof(bytes));
	if (got > 0)
		return anyKey || fKeys.Feed(bytes, static_cast<size_t>(got), Clock::now());
	if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
		// The terminal hung up: nobody is left to watch.
		fInputClosed = true;
		return true;
	}
	return false;
}


Result<void>
TerminalOutput::_Write(const std::string& bytes, bool watchKeys)
{
	if (!watchKeys) {
		int error = WriteFully(fOutputFd, bytes.data(), bytes.size());
		if (error != 0)
			return Error{"cannot write to the terminal: " + SystemReason(error)};
		return {};
	}

	for (size_t at = 0; at < bytes.size();) {
		struct pollfd fds[2] = {{fOutputFd, POLLOUT, 0}, {fInputFd, POLLIN, 0}};
		nfds_t count = fInputFd >= 0 && !fInputClosed ? 2 : 1;
		unsigned long signals = fSession->Signals();
		int ready = poll(fds, count, -1);
		bool hostSignal = ready < 0 && errno == EINTR && fSession->Signals() == signals;
		if (ready < 0 && !hostSignal && errno == EINTR)
			continue;
		if (ready < 0 && !hostSignal)
			return Error{"cannot write to the terminal: " + SystemReason(errno)};
		if (hostSignal || (count == 2 && fds[1].revents != 0 && _ReadKeys(false))) {
			// The rest of the frame would only delay the end; an image or a
			// string begun is ended, so that what follows is read as it is.
			fQuitTyped = !hostSignal;
			fPicture->Invalidate();
			return _Write(kEndString, false);
		}
		// A terminal gone says so when written to.
		if ((fds[0].revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) == 0)
			continue;
		// A piece a terminal's buffer takes at once.
		ssize_t written = write(fOutputFd, bytes.data() + at, std::min<size_t>(4096,
			bytes.size() - at));
		if (written > 0)
			at += static_cast<size_t>(written);
		else if (written < 0 && errno != EINTR && errno != EAGAIN)
			return Error{"cannot write to the terminal: " + SystemReason(errno)};
		else if (written == 0)
			return Error{"cannot write to the terminal: " + SystemReason(EIO)};
	}
	return {};
}


Result<void>
TerminalOutput::Present(const PixelView& frame, const Damage& damage)
{
	Result<void> begun = _Begin();
	if (!begun)
		return begun;

	fBuffer.clear();
	_FollowTerminal(fBuffer);
	fPicture->Encode(frame, damage, fBuffer);
	if (fStatusChanged)
		_AppendStatus(fBuffer);
	if (fBuffer.empty())
		return {};
	// A terminal slower than the frames come holds the run up here: the
	// keys are read meanwhile.
	return _Write(fBuffer, true);
}


OutputEvents
TerminalOutput::_Wait(Clock::time_point deadline, bool anyKey)
{
	OutputEvents events;
	for (bool first = true;; first = false) {
		Clock::time_point now = Clock::now();
		if (fQuitTyped || fKeys.Expire(now)) {
			events.quit = true;
			return events;
		}
		// Always one look, even when the deadline has passed.
		if (!first && now >= deadline)
			return events;

		int timeout = -1;
		if (deadline != Clock::time_point::max()) {
			Clock::time_point until = deadline;
			std::optional<Clock::time_point> escape = fKeys.Deadline();
			if (escape && !anyKey)
				until = std::min(until, *escape);
			// Rounded up: waking a little late beats spinning until then.
			timeout = until <= now ? 0 : static_cast<int>(std::min<int64_t>(INT32_MAX,
				std::chrono::ceil<std::chrono::milliseconds>(until - now).count()));
		}

		struct pollfd fds[2];
		nfds_t count = 0;
		int input = -1;
		if (fInputFd >= 0 && !fInputClosed) {
			input = static_cast<int>(count);
			fds[count++] = {fInputFd, POLLIN, 0};
		}
		int wake = -1;
		if (fSession) {
			wake = static_cast<int>(count);
			fds[count++] = {fSession->WakeFd(), POLLIN, 0};
		}
		if (count == 0 && anyKey)
			return events;

		unsigned long signals = fSession ? fSession->Signals() : 0;
		int ready = poll(fds, count, timeout);
		if (ready < 0) {
			// A signal of the session's own (a resize) waits for the next
			// frame; any other one is the host's to look at now.
			if (errno == EINTR && fSession && fSession->Signals() != signals && !anyKey)
				continue;
			return events;
		}

		if (input >= 0 && fds[input].revents != 0 && _ReadKeys(anyKey)) {
			events.quit = true;
			return events;
		}
		if (wake >= 0 && fds[wake].revents != 0) {
			if (anyKey)
				return events;
			fSession->DrainWake();
		}
	}
}


OutputEvents
TerminalOutput::Poll()
{
	return _Wait(Clock::now(), false);
}


OutputEvents
TerminalOutput::WaitUntil(Clock::time_point deadline)
{
	return _Wait(deadline, false);
}


void
TerminalOutput::ShowStats(const FrameStats& stats)
{
	char text[160];
	std::snprintf(text, sizeof(text), "%.1f fps  %.1f ms/frame  %.0f%% CPU  q to quit",
		stats.framesPerSecond, stats.frameMilliseconds, stats.cpuPercent);
	fStatus = text;
	fStatusChanged = true;
	if (!fStatusLine) {
		// The last row becomes the status line from now on.
		fStatusLine = true;
		if (fSession)
			_Layout();
	}
}


// On the alternate screen, as the picture would be, until kNoticeTime has
// passed, a key or a signal of the host's; said again on the normal screen
// once that is back. Where the terminal cannot be taken, on standard error.
void
TerminalOutput::ShowNotice(const std::string& text)
{
	if (!_Begin()) {
		Output::ShowNotice(text);
		return;
	}
	fNotices.push_back(text);

	Clock::time_point deadline = Clock::now() + kNoticeTime;
	for (;;) {
		// Drawn again after a resize, even one that comes while drawing.
		unsigned long signals = fSession->Signals();
		fSession->TakeChanges();
		fTerminal = fSession->Measure();
		fBuffer.clear();
		fPicture->Erase(fBuffer);
		_DrawNotice(text, fBuffer);
		if (!_Write(fBuffer))
			return;

		OutputEvents events = _Wait(deadline, true);
		if (events.quit || fSession->Signals() == signals || Clock::now() >= deadline)
			break;
	}

	// The key that ended it is no key for the run.
	if (fInputFd >= 0)
		tcflush(fInputFd, TCIFLUSH);
	fKeys = KeyReader();
	_Layout();
	fClear = true;
}


void
TerminalOutput::_DrawNotice(const std::string& text, std::string& out) const
{
	out += kResetAndClear;
	std::string line = TerminalText(text, static_cast<size_t>(std::max(fTerminal.width, 1)));
	int32_t column = std::max<int32_t>(0,
		(fTerminal.width - static_cast<int32_t>(CharacterCount(line))) / 2);
	AppendCursorTo(std::max(fTerminal.height, 1) / 2, column, out);
	out += "\x1b[0;97;40m" + line + "\x1b[0m";
}


void
TerminalOutput::_DrawSettings(const SettingsPanel& panel, std::string& out) const
{
	out += kResetAndClear;
	int32_t columns = fTerminal.width;
	int32_t rows = fTerminal.height;
	const char* hint = "press any key to go on";

	if (columns < 12 || rows < 6) {
		// Too small for a box: the listing, as far as it fits.
		int32_t row = 0;
		for (const SettingsItem& item : panel.items) {
			if (row >= rows)
				break;
			AppendCursorTo(row++, 0, out);
			out += TerminalText(item.line, static_cast<size_t>(columns));
		}
		return;
	}

	PanelBox box = FitPanel(panel.size, columns, rows);
	AppendBox(box, out);
	AppendLabels(panel, box, out);
	AppendCursorTo(box.top + box.innerHeight + 2,
		std::max<int32_t>(0, (columns - static_cast<int32_t>(std::strlen(hint))) / 2), out);
	out += TerminalText(hint, static_cast<size_t>(columns));
}


Result<void>
TerminalOutput::ShowSettings(const SettingsPanel& panel)
{
	// Nobody to press a key: the listing, which stays readable afterwards.
	if (!isatty(fOutputFd) || !fKeysFromStandardInput || fInputFd < 0)
		return Output::ShowSettings(panel);

	Result<void> begun = _Begin();
	if (!begun)
		return begun;

	for (;;) {
		fSession->TakeChanges();
		fTerminal = fSession->Measure();
		fBuffer.clear();
		fPicture->Erase(fBuffer);
		_DrawSettings(panel, fBuffer);
		Result<void> written = _Write(fBuffer);
		if (!written)
			return written;

		// Drawn again after a resize; any key, a hang-up or a signal of the
		// host's ends the wait.
		unsigned long signals = fSession->Signals();
		OutputEvents events = _Wait(Clock::time_point::max(), true);
		if (!events.quit && fSession->Signals() != signals)
			continue;
		break;
	}

	// The rest of the key (an escape sequence) is no key for the run.
	tcflush(fInputFd, TCIFLUSH);
	fKeys = KeyReader();
	_Layout();
	fClear = true;
	return {};
}
