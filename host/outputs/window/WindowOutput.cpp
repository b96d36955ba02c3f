#include "outputs/window/WindowOutput.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <SDL.h>

#include "base/Report.h"
#include "base/SignalHold.h"
#include "outputs/pictures/WindowPictures.h"
#include "outputs/pictures/WindowTitle.h"
#include "outputs/window/BorrowedWindow.h"
#include "outputs/window/DisplayNames.h"
#include "outputs/window/EventWait.h"
#include "outputs/window/MonitorPower.h"
#include "outputs/window/OwnWindow.h"
#include "outputs/window/VideoSession.h"
#include "outputs/window/XErrorWatch.h"


namespace {

using std::chrono::steady_clock;

// More rectangles than this a frame are sent as one: each is a request of
// its own to the display.
constexpr size_t kMostRects = 1024;

// The view's B_RGB32 pixels as SDL names them: bytes blue, green, red, then
// one nobody reads, which SDL describes as a 32-bit word.
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
constexpr Uint32 kViewFormat = SDL_PIXELFORMAT_BGRX8888;
#else
constexpr Uint32 kViewFormat = SDL_PIXELFORMAT_XRGB8888;
#endif

}	// namespace


WindowOutput::WindowOutput() = default;


WindowOutput::WindowOutput(std::unique_ptr<SaverWindow> window)
	:
	fWindow(std::move(window)),
	fMadeElsewhere(true)
{
}


WindowOutput::~WindowOutput() = default;


Result<Size>
WindowOutput::Open(const Options& options)
{
	fName = WindowTitle(options.modulePath);
	if (fMadeElsewhere)
		return _Opened(options);
	bool borrowed = options.windowId.has_value() || options.root;
	bool fullscreen = options.fullscreen && !borrowed;

	if (!Named("DISPLAY") && !Named("SDL_VIDEODRIVER"))
		return Error{"no X display for --output x11 (is DISPLAY set?); try --output terminal"};

	fErrors = std::make_unique<XErrorWatch>();
	Result<std::unique_ptr<VideoSession>> video = VideoSession::Start(
		borrowed ? VideoSession::Use::LentWindow : VideoSession::Use::OwnWindow);
	if (!video)
		return Error{video.Message()};
	fVideo = std::move(video.Value());

	if (borrowed) {
		Result<std::unique_ptr<BorrowedWindow>> window
			= BorrowedWindow::Open(options.windowId, *fErrors);
		if (!window)
			return Error{window.Message()};
		fWindow = std::move(window.Value());
	} else {
		Result<std::unique_ptr<OwnWindow>> window
			= OwnWindow::Open(fName, options.size, fullscreen, *fErrors);
		if (!window)
			return Error{window.Message()};
		fWindow = std::move(window.Value());
	}
	return _Opened(options);
}


// The window is there: the view's size is the window's.
Size
WindowOutput::_Opened(const Options& options)
{
	// Where no title bar shows the figures, they go over the picture.
	fStatsOverlay = options.fps && !fWindow->HasTitle();
	fMonitor = MonitorPower::Watch(fWindow->Get());
	fEventWait = std::make_unique<EventWait>(fWindow->Get());

	int width = 0;
	int height = 0;
	SDL_GetWindowSize(fWindow->Get(), &width, &height);
	fViewSize = Size{width, height};
	return fViewSize;
}


void
WindowOutput::_Show()
{
	if (fShown || !fWindow)
		return;
	fShown = true;
	fWindow->Show();
}


// The window's pixels as SDL has them now: a new framebuffer after a resize.
SDL_Surface*
WindowOutput::_Framebuffer()
{
	SDL_Surface* framebuffer = SDL_GetWindowSurface(fWindow->Get());
	if (framebuffer == nullptr)
		return nullptr;
	// A new framebuffer starts black, as the host's own view pixels do.
	Size size{framebuffer->w, framebuffer->h};
	if (framebuffer->pixels != fFramebufferPixels || !SameSize(size, fFramebufferSize)) {
		SDL_FillRect(framebuffer, nullptr, Mapped(framebuffer, SDL_Color{0, 0, 0, 255}));
		fFramebufferPixels = framebuffer->pixels;
		fFramebufferSize = size;
		fSendWhole = true;
		fFramebufferTouched = true;
	}
	return framebuffer;
}


// The saver may draw straight into the framebuffer when it has the view's
// size and layout. A framebuffer with alpha in the fourth byte would take the
// saver's unused byte for transparency, and the --fps overlay must not end up
// in the view's pixels.
bool
WindowOutput::_Lendable(const SDL_Surface* framebuffer, Size size) const
{
	return framebuffer->format->format == kViewFormat && !SDL_MUSTLOCK(framebuffer)
		&& framebuffer->w == size.width && framebuffer->h == size.height && !fStatsOverlay;
}


std::optional<PixelTarget>
WindowOutput::LendPixels(Size size)
{
	fLent = nullptr;
	if (!fWindow || _WindowGone())
		return std::nullopt;
	_Show();
	SDL_Surface* framebuffer = _Framebuffer();
	if (framebuffer == nullptr || !_Lendable(framebuffer, size))
		return std::nullopt;
	fLent = static_cast<uint8_t*>(framebuffer->pixels);
	bool untouched = !fFramebufferTouched;
	fFramebufferTouched = false;
	return PixelTarget{fLent, static_cast<size_t>(framebuffer->pitch), untouched};
}


// A frame in the host's own memory into the framebuffer: as it is when it has
// the window's size; otherwise (the preview, or a resize the host has not
// acted on yet) as large as fits, by a whole factor where it is smaller,
// centred on black.
void
WindowOutput::_Copy(const PixelView& frame, SDL_Surface* framebuffer)
{
	if (frame.bits == nullptr || frame.width < 1 || frame.height < 1)
		return;
	fFramebufferTouched = true;
	SurfacePtr source(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(frame.bits),
		frame.width, frame.height, 32, static_cast<int>(frame.bytesPerRow), kViewFormat));
	if (!source)
		return;
	SDL_SetSurfaceBlendMode(source.get(), SDL_BLENDMODE_NONE);

	if (frame.width == framebuffer->w && frame.height == framebuffer->h) {
		SDL_BlitSurface(source.get(), nullptr, framebuffer, nullptr);
		return;
	}
	SDL_FillRect(framebuffer, nullptr, Mapped(framebuffer, SDL_Color{0, 0, 0, 255}));
	double scale = std::min(static_cast<double>(framebuffer->w) / frame.width,
		static_cast<double>(framebuffer->h) / frame.height);
	if (scale >= 1)
		scale = std::floor(scale);
	SDL_Rect where;
	where.w = std::max(1, static_cast<int>(frame.width * scale));
	where.h = std::max(1, static_cast<int>(frame.height * scale));
	where.x = (framebuffer->w - where.w) / 2;
	where.y = (framebuffer->h - where.h) / 2;
	SDL_BlitScaled(source.get(), nullptr, framebuffer, &where);
}


void
WindowOutput::_DrawOverlay(SDL_Surface* framebuffer)
{
	if (fStatsOverlay && fStatsText) {
		DrawStatsOverlay(framebuffer, fStatsText.get());
		fFramebufferTouched = true;
	}
}


// Sends the display what changed in the framebuffer: the damaged rectangles,
// or everything when the display may show something else, or when that is
// about as cheap. Nothing changed, nothing is sent.
bool
WindowOutput::_Update(const Damage& damage)
{
	int64_t area = static_cast<int64_t>(fFramebufferSize.width) * fFramebufferSize.height;
	int result = 0;
	if (fSendWhole || damage.Whole() || damage.Rects().size() > kMostRects
		|| 2 * damage.Area(fFramebufferSize) > area) {
		result = SDL_UpdateWindowSurface(fWindow->Get());
	} else if (!damage.Rects().empty()) {
		fUpdateRects.clear();
		for (const PixelRect& rect : damage.Rects())
			fUpdateRects.push_back(SDL_Rect{rect.x, rect.y, rect.width, rect.height});
		result = SDL_UpdateWindowSurfaceRects(fWindow->Get(), fUpdateRects.data(),
			static_cast<int>(fUpdateRects.size()));
	}
	fSendWhole = result != 0;
	return result == 0;
}


Result<void>
WindowOutput::Present(const PixelView& frame, const Damage& damage)
{
	if (!fWindow)
		return Error{"the window is not open"};
	if (_WindowGone())
		return {};
	_Show();

	// Lent pixels are in the framebuffer already, and the damage is what the
	// saver changed in it; nothing between the loan and now looks at events,
	// so no resize can have replaced it. A frame copied in changes it all.
	bool lent = fLent != nullptr && frame.bits == fLent;
	if (!lent) {
		SDL_Surface* framebuffer = _Framebuffer();
		if (framebuffer == nullptr)
			return Error{std::string("cannot draw in the window: ") + SDL_GetError()};
		_Copy(frame, framebuffer);
		_DrawOverlay(framebuffer);
		fSendWhole = true;
	}
	if (_Update(damage) || _WindowGone())
		return {};

	// A resize seen after the frame was drawn: the frame goes into the new
	// framebuffer instead.
	if (!lent) {
		if (SDL_Surface* framebuffer = _Framebuffer()) {
			_Copy(frame, framebuffer);
			_DrawOverlay(framebuffer);
			fSendWhole = true;
			if (_Update(damage) || _WindowGone())
				return {};
		}
	}
	return Error{std::string("cannot show the frame in the window: ") + SDL_GetError()};
}


void
WindowOutput::_Handle(const SDL_Event& event)
{
	bool ours = event.type == SDL_WINDOWEVENT
		&& event.window.windowID == SDL_GetWindowID(fWindow->Get());
	// The display lost what the window showed, or shows it anew.
	if (ours && (event.window.event == SDL_WINDOWEVENT_EXPOSED
			|| event.window.event == SDL_WINDOWEVENT_SHOWN
			|| event.window.event == SDL_WINDOWEVENT_RESTORED))
		fSendWhole = true;

	if (ours && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
		// SDL makes the next framebuffer anew, which may land where the last
		// one was, with the same size.
		fSendWhole = true;
		fFramebufferTouched = true;
		// A size the view already has cancels a change not yet acted on.
		Size size{event.window.data1, event.window.data2};
		if (SameSize(size, fViewSize))
			fPending.resized.reset();
		else
			fPending.resized = size;
		return;
	}
	if (fWindow->AsksToStop(event))
		fPending.quit = true;
}


bool
WindowOutput::_WindowGone()
{
	return fWindow && fWindow->Gone();
}


// Minimized, unmapped, or on a monitor that sleeps.
bool
WindowOutput::_OutOfSight()
{
	if (!fWindow || _WindowGone())
		return false;
	return fWindow->OutOfSight() || (fMonitor && fMonitor->Asleep(steady_clock::now()));
}


OutputEvents
WindowOutput::_TakeEvents()
{
	if (_WindowGone())
		fPending.quit = true;
	OutputEvents events = fPending;
	fPending = OutputEvents{};
	if (events.resized)
		fViewSize = *events.resized;
	events.outOfSight = _OutOfSight();
	fToldOutOfSight = events.outOfSight;
	return events;
}


OutputEvents
WindowOutput::Poll()
{
	if (!fWindow)
		return {};
	SDL_Event event;
	while (!fMadeElsewhere && SDL_PollEvent(&event))
		_Handle(event);
	return _TakeEvents();
}


bool
WindowOutput::Pending()
{
	return fPending.quit || fPending.resized || _WindowGone();
}


OutputEvents
WindowOutput::WaitUntil(steady_clock::time_point deadline)
{
	if (!fWindow)
		return Output::WaitUntil(deadline);
	// A signal ends the wait, and arrives as the hold goes.
	SignalHold signals;
	while (true) {
		SDL_Event event;
		while (SDL_PollEvent(&event))
			_Handle(event);
		if (fPending.quit || fPending.resized || _WindowGone()
			|| _OutOfSight() != fToldOutOfSight)
			break;
		int wait = _WaitMilliseconds(deadline);
		if (wait < 0)
			break;
		std::optional<SDL_Event> taken;
		bool calm = fEventWait->Wait(wait, signals, taken);
		if (taken)
			_Handle(*taken);
		if (!calm)
			break;
	}
	return _TakeEvents();
}


// How long to wait for events: until the deadline, or -1 when it has come;
// in view, no longer than until the monitor's power is asked again.
int
WindowOutput::_WaitMilliseconds(steady_clock::time_point deadline)
{
	steady_clock::time_point now = steady_clock::now();
	if (now >= deadline)
		return -1;
	if (fMonitor && !fWindow->OutOfSight())
		deadline = std::min(deadline, std::max(fMonitor->NextCheck(), now));
	// Rounded up: a wait that ends a little short of the deadline would spin
	// through its last millisecond.
	long long remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
	return static_cast<int>(std::clamp<long long>(remaining, 1, INT_MAX));
}


void
WindowOutput::ShowStats(const FrameStats& stats)
{
	if (!fWindow)
		return;
	std::string text = FormatStats(stats);
	if (fWindow->HasTitle())
		fWindow->ShowInTitle(text);
	if (!fStatsOverlay)
		return;
	if (SansFont* font = fFont.ForExtra())
		fStatsText = RenderStats(*font, text);
}


void
WindowOutput::ShowNotice(const std::string& text)
{
	Output::ShowNotice(text);
	if (!fWindow || _WindowGone())
		return;
	SansFont* font = fFont.ForExtra();

	// Up for a while, or until the user or a signal ends it; drawn again
	// when the window changes size.
	SignalHold signals;
	_Show();
	steady_clock::time_point deadline = steady_clock::now() + kNoticeTime;
	bool draw = true;
	while (!signals.Arrived() && steady_clock::now() < deadline) {
		if (draw) {
			SDL_Surface* framebuffer = _Framebuffer();
			if (framebuffer == nullptr)
				return;
			DrawNotice(framebuffer, text, font);
			fFramebufferTouched = true;
			SDL_UpdateWindowSurface(fWindow->Get());
			draw = false;
		}
		OutputEvents events = WaitUntil(std::min(deadline,
			steady_clock::now() + std::chrono::milliseconds(SignalHold::kCheckMilliseconds)));
		if (events.quit)
			break;
		draw = events.resized.has_value();
	}
}


// The panel in a window of its own, with a strip below that says how to close
// it; the views are listed on standard output only where there is no window.
Result<void>
WindowOutput::ShowSettings(const SettingsPanel& panel)
{
	if (!fWindow)
		return Output::ShowSettings(panel);

	Result<SansFont*> font = fFont.Get();
	if (!font)
		return Error{"cannot show the settings: " + font.Message()};

	WindowPtr window(SDL_CreateWindow((fName + " settings").c_str(), SDL_WINDOWPOS_UNDEFINED,
		SDL_WINDOWPOS_UNDEFINED, panel.size.width, panel.size.height + kSettingsHintHeight,
		SDL_WINDOW_SHOWN));
	if (!window)
		return Error{std::string("cannot open the settings window: ") + SDL_GetError()};
	Uint32 id = SDL_GetWindowID(window.get());

	// Up until a key, a click, the window closed, or a signal.
	SignalHold signals;
	bool draw = true;
	bool done = false;
	while (!done && !signals.Arrived()) {
		if (draw) {
			SDL_Surface* framebuffer = SDL_GetWindowSurface(window.get());
			if (framebuffer == nullptr) {
				return Error{std::string("cannot draw the settings window: ")
					+ SDL_GetError()};
			}
			DrawPanel(framebuffer, panel, *font.Value());
			DrawSettingsHint(framebuffer, panel.size.height, *font.Value());
			SDL_UpdateWindowSurface(window.get());
			draw = false;
		}
		SDL_Event event;
		if (!SDL_WaitEventTimeout(&event, SignalHold::kCheckMilliseconds))
			continue;
		switch (event.type) {
			case SDL_QUIT:
				done = true;
				break;
			case SDL_KEYDOWN:
				done = event.key.windowID == id;
				break;
			case SDL_MOUSEBUTTONDOWN:
				done = event.button.windowID == id;
				break;
			case SDL_WINDOWEVENT:
				if (event.window.windowID != id)
					break;
				if (event.window.event == SDL_WINDOWEVENT_CLOSE)
					done = true;
				else if (event.window.event == SDL_WINDOWEVENT_EXPOSED
					|| event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
					draw = true;
				break;
		}
	}
	window.reset();

	// Nothing of the settings window's life may reach the saver's run: the
	// key or click that closed it is no request to stop.
	SDL_PumpEvents();
	SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
	return {};
}
