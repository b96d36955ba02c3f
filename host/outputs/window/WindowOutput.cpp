#include "outputs/window/WindowOutput.h"

#include <signal.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <SDL.h>
#include <SDL_syswm.h>

#include "base/Report.h"
#include "run/SaverRunner.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>
#include <X11/Xproto.h>


namespace {

using std::chrono::steady_clock;

// The view's B_RGB32 pixels as SDL names them: bytes blue, green, red, then
// one nobody reads, which SDL describes as a 32-bit word.
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
constexpr Uint32 kViewFormat = SDL_PIXELFORMAT_BGRX8888;
#else
constexpr Uint32 kViewFormat = SDL_PIXELFORMAT_XRGB8888;
#endif

// Text on the settings panel, notices and the --fps overlay.
constexpr int kTextPixels = 12;

// The platform's panel grey and its labels' black.
constexpr SDL_Color kPanelGrey{216, 216, 216, 255};
constexpr SDL_Color kLabelBlack{0, 0, 0, 255};
constexpr SDL_Color kNoticeGrey{48, 48, 48, 255};
constexpr SDL_Color kNoticeText{232, 232, 232, 255};
constexpr SDL_Color kStatsText{255, 255, 255, 255};


bool
Named(const char* variable)
{
	const char* value = std::getenv(variable);
	return value != nullptr && *value != '\0';
}


std::string
DisplayName()
{
	const char* display = std::getenv("DISPLAY");
	return display != nullptr ? display : "";
}


std::string
WindowIdText(unsigned long id)
{
	char text[32];
	std::snprintf(text, sizeof(text), "0x%lx", id);
	return text;
}


std::string
SizeText(Size size)
{
	return std::to_string(size.width) + "x" + std::to_string(size.height);
}


bool
SameSize(Size a, Size b)
{
	return a.width == b.width && a.height == b.height;
}


// The window's title: the add-on's file name, or Dustglow for the one this
// build made.
std::string
ModuleName(const std::string& path)
{
	if (path.empty())
		return "Dustglow";
	size_t slash = path.find_last_of('/');
	std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
	return name.empty() ? path : name;
}


Uint32
Mapped(const SDL_Surface* surface, SDL_Color color)
{
	return SDL_MapRGB(surface->format, color.r, color.g, color.b);
}


// A view's frame in window pixels: edges are inclusive, so (10, 10, 200, 35)
// covers 191 x 26 pixels from (10, 10). Coordinates beyond any window are
// held at a million, NaN at zero, so that the sums stay in int.
SDL_Rect
PixelRect(const BRect& frame, SDL_Point origin)
{
	auto pixel = [](float coordinate) {
		if (!(coordinate == coordinate))
			return 0;
		return static_cast<int>(std::floor(std::clamp(coordinate, -1e6f, 1e6f)));
	};
	int left = origin.x + pixel(frame.left);
	int top = origin.y + pixel(frame.top);
	int right = origin.x + pixel(frame.right);
	int bottom = origin.y + pixel(frame.bottom);
	return SDL_Rect{left, top, std::max(0, right - left + 1), std::max(0, bottom - top + 1)};
}


// The settings panel as the platform's host shows it: a grey panel, and each
// string view's text in black at its frame, from its left edge and centred
// top to bottom, clipped to the frame.
void
DrawPanel(SDL_Surface* target, const SettingsPanel& panel, const SansFont& font)
{
	SDL_FillRect(target, nullptr, Mapped(target, kPanelGrey));

	// The window position of each depth's parent: items come in drawing
	// order, each followed by its children.
	std::vector<SDL_Point> origins{{0, 0}};
	for (const SettingsItem& item : panel.items) {
		size_t depth = static_cast<size_t>(std::max(item.depth, 0));
		origins.resize(depth + 1, origins.back());
		SDL_Rect frame = PixelRect(item.frame, origins[depth]);
		origins.push_back(SDL_Point{frame.x, frame.y});

		if (!item.hasText)
			continue;
		SurfacePtr text = font.Render(item.text, kLabelBlack);
		if (!text)
			continue;
		BlendText(target, text.get(), frame.x, frame.y + (frame.h - font.LineHeight()) / 2,
			frame);
	}
}


// A notice where the saver's picture would be: the preview's shape, scaled by
// the largest whole number that fits, with the text inside.
void
DrawNotice(SDL_Surface* target, const std::string& text, const SansFont* font)
{
	SDL_FillRect(target, nullptr, Mapped(target, SDL_Color{0, 0, 0, 255}));
	int scale = std::max(1, std::min(target->w / kPreviewSize.width,
		target->h / kPreviewSize.height));
	SDL_Rect area{0, 0, kPreviewSize.width * scale, kPreviewSize.height * scale};
	area.x = (target->w - area.w) / 2;
	area.y = (target->h - area.h) / 2;
	SDL_FillRect(target, &area, Mapped(target, kNoticeGrey));
	if (font == nullptr)
		return;

	SurfacePtr rendered = font->Render(text, kNoticeText, std::max(1, area.w - 16));
	if (!rendered)
		return;
	BlendText(target, rendered.get(), area.x + (area.w - rendered->w) / 2,
		area.y + (area.h - rendered->h) / 2, area);
}


// Holds off SIGINT, SIGTERM and SIGHUP while the host waits on a window that
// only the user closes (the settings, a notice), and tells when one came:
// the wait then ends, and the signal is delivered as the hold goes, to
// whatever handles it.
class SignalHold {
public:
	SignalHold()
	{
		sigemptyset(&fSignals);
		for (int signal : {SIGINT, SIGTERM, SIGHUP})
			sigaddset(&fSignals, signal);
		fHolding = pthread_sigmask(SIG_BLOCK, &fSignals, &fPrevious) == 0;
	}

	~SignalHold()
	{
		if (fHolding)
			pthread_sigmask(SIG_SETMASK, &fPrevious, nullptr);
	}

	SignalHold(const SignalHold&) = delete;
	SignalHold& operator=(const SignalHold&) = delete;

	bool Arrived() const
	{
		sigset_t pending;
		if (!fHolding || sigpending(&pending) != 0)
			return false;
		for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
			if (sigismember(&pending, signal) == 1 && sigismember(&fPrevious, signal) == 0)
				return true;
		}
		return false;
	}

private:
	sigset_t fSignals;
	sigset_t fPrevious;
	bool fHolding = false;
};

// How often a wait on the user looks for a held signal.
constexpr int kSignalCheckMilliseconds = 100;

}	// namespace


// SDL's video subsystem, started for the output's life.
class WindowOutput::VideoSession {
public:
	static Result<std::unique_ptr<VideoSession>> Start(bool borrowing)
	{
		// The host catches SIGINT and SIGTERM itself, to stop the saver
		// properly; SDL would turn them into quit events.
		SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
		// In a daemon's window the host is the screen saver: the screen must
		// still blank and power down as the daemon decides.
		if (borrowing)
			SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");

		if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
			std::string display = DisplayName();
			return Error{"cannot open " + (display.empty() ? std::string("the display")
				: "display \"" + display + "\"") + " for --output window ("
				+ SDL_GetError() + "); try --output terminal"};
		}
		// Where no display answers, SDL falls back to drivers that show
		// nothing at all: unless asked for by name, that is no window.
		std::string driver = SDL_GetCurrentVideoDriver();
		if ((driver == "offscreen" || driver == "dummy") && !Named("SDL_VIDEODRIVER")) {
			SDL_QuitSubSystem(SDL_INIT_VIDEO);
			std::string display = DisplayName();
			return Error{"cannot open " + (display.empty() ? std::string("the display")
				: "display \"" + display + "\"") + " for --output window (no display "
				"answers); try --output terminal"};
		}

		// On X the window's framebuffer is a shared-memory image that the X
		// server reads itself: the frame is copied once, by the saver. The
		// accelerated alternative uploads it to a texture and renders that,
		// which without a GPU (a software GL, Xvfb) costs tens of copies.
		if (std::string(SDL_GetCurrentVideoDriver()) == "x11")
			SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
		return Result<std::unique_ptr<VideoSession>>(std::make_unique<VideoSession>());
	}

	~VideoSession() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};


// Xlib's default answer to an X error is to end the process. While the
// output exists, two kinds of error are taken in stride instead:
// - one about the borrowed window, which its owner may destroy under the
//   host (a daemon does): the window is marked gone, and the run ends;
// - BadWindow on a SendEvent: SDL wakes its event wait with a message to a
//   window over a second connection, and a window destroyed at the same
//   moment (closing the settings, the end of a run) makes that message fail.
// Every other error goes to the handler that was there before. Installed
// before SDL starts and removed after it stops, so that SDL's own handler
// passes errors on to this one. One at a time.
class WindowOutput::XErrorWatch {
public:
	XErrorWatch()
	{
		sWindow = 0;
		sGone = false;
		sPrevious = XSetErrorHandler(OnError);
	}

	~XErrorWatch()
	{
		XSetErrorHandler(sPrevious);
		sWindow = 0;
	}

	XErrorWatch(const XErrorWatch&) = delete;
	XErrorWatch& operator=(const XErrorWatch&) = delete;

	void Watch(unsigned long window) { sWindow = window; }
	unsigned long Window() const { return sWindow; }
	bool Gone() const { return sWindow != 0 && sGone; }
	void MarkGone() { sGone = true; }

private:
	static int OnError(Display* display, XErrorEvent* error)
	{
		if (sWindow != 0 && error->resourceid == sWindow
			&& (error->error_code == BadWindow || error->error_code == BadDrawable)) {
			sGone = true;
			return 0;
		}
		if (error->error_code == BadWindow && error->request_code == X_SendEvent)
			return 0;
		return sPrevious != nullptr ? sPrevious(display, error) : 0;
	}

	static inline unsigned long sWindow = 0;
	static inline bool sGone = false;
	static inline XErrorHandler sPrevious = nullptr;
};


void
WindowOutput::WindowCloser::operator()(SDL_Window* window) const
{
	SDL_DestroyWindow(window);
}


WindowOutput::WindowOutput() = default;


WindowOutput::~WindowOutput()
{
	// The font and the window go before the watch and the video subsystem
	// they depend on, whatever the members' order.
	fStatsText.reset();
	fFont.reset();
	fWindow.reset();
	fVideo.reset();
	fErrors.reset();
}


Result<Size>
WindowOutput::Open(const Options& options)
{
	fName = ModuleName(options.modulePath);
	fBorrowed = options.windowId.has_value() || options.root;
	fFullscreen = options.fullscreen && !fBorrowed;
	// Where no title bar shows the figures, they go over the picture.
	fStatsOverlay = options.fps && (fBorrowed || fFullscreen);

	if (!Named("DISPLAY") && !Named("WAYLAND_DISPLAY") && !Named("SDL_VIDEODRIVER"))
		return Error{"no display for --output window (is DISPLAY set?); try --output terminal"};

	fErrors = std::make_unique<XErrorWatch>();
	Result<std::unique_ptr<VideoSession>> video = VideoSession::Start(fBorrowed);
	if (!video)
		return Error{video.Message()};
	fVideo = std::move(video.Value());

	Result<void> opened = fBorrowed ? OpenBorrowed(options.windowId, DisplayName())
		: OpenOwn(options);
	if (!opened)
		return Error{opened.Message()};

	int width = 0;
	int height = 0;
	SDL_GetWindowSize(fWindow.get(), &width, &height);
	fViewSize = Size{width, height};
	return fViewSize;
}


// Without an id, the root window.
Result<void>
WindowOutput::OpenBorrowed(std::optional<unsigned long> given, const std::string& display)
{
	if (std::string(SDL_GetCurrentVideoDriver()) != "x11") {
		return Error{std::string("--window-id and --root need an X display; SDL runs on ")
			+ SDL_GetCurrentVideoDriver()};
	}

	// The window is looked at first, on a connection of the host's own: SDL
	// takes any id on trust, and a wrong one would end the process in Xlib.
	Display* connection = XOpenDisplay(nullptr);
	if (connection == nullptr)
		return Error{"cannot open display \"" + display + "\" for --output window"};
	unsigned long id = given ? *given : DefaultRootWindow(connection);
	fErrors->Watch(id);
	XWindowAttributes attributes;
	bool found = id != 0 && XGetWindowAttributes(connection, id, &attributes) != 0
		&& !fErrors->Gone();
	XCloseDisplay(connection);
	if (!found)
		return Error{"no window " + WindowIdText(id) + " on display \"" + display + "\""};
	if (attributes.c_class == InputOnly)
		return Error{"window " + WindowIdText(id) + " is input-only: it has no pixels to draw in"};

	fWindow.reset(SDL_CreateWindowFrom(reinterpret_cast<void*>(id)));
	if (!fWindow)
		return Error{"cannot draw in window " + WindowIdText(id) + ": " + SDL_GetError()};

	// SDL asks for no events of a window it did not make: the host asks for
	// the window's changes of size, and for its end, on SDL's connection,
	// and waits until the server has it, so that no change after Open() is
	// missed.
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (SDL_GetWindowWMInfo(fWindow.get(), &info) && info.subsystem == SDL_SYSWM_X11) {
		Display* sdlConnection = info.info.x11.display;
		XWindowAttributes current;
		if (XGetWindowAttributes(sdlConnection, id, &current) != 0) {
			XSelectInput(sdlConnection, id, current.your_event_mask | StructureNotifyMask);
			XSync(sdlConnection, False);
		}
	}
	SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
	return {};
}


Result<void>
WindowOutput::OpenOwn(const Options& options)
{
	// Hidden until the first frame, so that the settings panel (--config)
	// comes first on its own.
	Uint32 flags = SDL_WINDOW_HIDDEN
		| (fFullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_RESIZABLE);
	SDL_Rect place{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, options.size.width,
		options.size.height};
	// Made the screen's size in the first place: without a window manager
	// to carry out the request for full screen, it would keep --size.
	if (fFullscreen && SDL_GetDisplayBounds(0, &place) != 0)
		place = SDL_Rect{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
			options.size.width, options.size.height};
	fWindow.reset(SDL_CreateWindow(fName.c_str(), place.x, place.y, place.w, place.h, flags));
	if (!fWindow) {
		return Error{"cannot open a " + SizeText(options.size) + " window: "
			+ SDL_GetError()};
	}
	return {};
}


void
WindowOutput::Show()
{
	if (fShown || !fWindow)
		return;
	fShown = true;
	if (!fBorrowed) {
		SDL_ShowWindow(fWindow.get());
		if (fFullscreen)
			SDL_ShowCursor(SDL_DISABLE);
	}
	fShownAt = steady_clock::now();
	fPointerSeen = false;
}


// The window's pixels as SDL has them now: a new framebuffer after a resize.
SDL_Surface*
WindowOutput::Framebuffer()
{
	SDL_Surface* framebuffer = SDL_GetWindowSurface(fWindow.get());
	if (framebuffer == nullptr)
		return nullptr;
	// A new framebuffer starts black, as the host's own view pixels do.
	Size size{framebuffer->w, framebuffer->h};
	if (framebuffer->pixels != fFramebufferPixels || !SameSize(size, fFramebufferSize)) {
		SDL_FillRect(framebuffer, nullptr, Mapped(framebuffer, SDL_Color{0, 0, 0, 255}));
		fFramebufferPixels = framebuffer->pixels;
		fFramebufferSize = size;
	}
	return framebuffer;
}


// The saver may draw straight into the framebuffer when it has the view's
// size and layout. A framebuffer with alpha in the fourth byte would take the
// saver's unused byte for transparency, and the --fps overlay must not end up
// in the view's pixels.
bool
WindowOutput::Lendable(const SDL_Surface* framebuffer, Size size) const
{
	return framebuffer->format->format == kViewFormat && !SDL_MUSTLOCK(framebuffer)
		&& framebuffer->w == size.width && framebuffer->h == size.height && !fStatsOverlay;
}


std::optional<PixelTarget>
WindowOutput::LendPixels(Size size)
{
	fLent = nullptr;
	if (!fWindow || WindowGone())
		return std::nullopt;
	Show();
	SDL_Surface* framebuffer = Framebuffer();
	if (framebuffer == nullptr || !Lendable(framebuffer, size))
		return std::nullopt;
	fLent = static_cast<uint8_t*>(framebuffer->pixels);
	return PixelTarget{fLent, static_cast<size_t>(framebuffer->pitch)};
}


// A frame in the host's own memory into the framebuffer: as it is when it has
// the window's size; otherwise (the preview, or a resize the host has not
// acted on yet) as large as fits, by a whole factor where it is smaller,
// centred on black.
void
WindowOutput::Copy(const PixelView& frame, SDL_Surface* framebuffer)
{
	if (frame.bits == nullptr || frame.width < 1 || frame.height < 1)
		return;
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
WindowOutput::DrawStatsOverlay(SDL_Surface* framebuffer)
{
	if (!fStatsOverlay || !fStatsText)
		return;
	SDL_Rect box{4, 4, fStatsText->w + 8, fStatsText->h + 4};
	SDL_FillRect(framebuffer, &box, Mapped(framebuffer, SDL_Color{0, 0, 0, 255}));
	BlendText(framebuffer, fStatsText.get(), box.x + 4, box.y + 2, box);
}


Result<void>
WindowOutput::Present(const PixelView& frame)
{
	if (!fWindow)
		return Error{"the window is not open"};
	if (WindowGone())
		return {};
	Show();

	// Lent pixels are in the framebuffer already; nothing between the loan
	// and now looks at events, so no resize can have replaced it.
	bool lent = fLent != nullptr && frame.bits == fLent;
	if (!lent) {
		SDL_Surface* framebuffer = Framebuffer();
		if (framebuffer == nullptr)
			return Error{std::string("cannot draw in the window: ") + SDL_GetError()};
		Copy(frame, framebuffer);
		DrawStatsOverlay(framebuffer);
	}
	if (SDL_UpdateWindowSurface(fWindow.get()) == 0 || WindowGone())
		return {};

	// A resize seen after the frame was drawn: the frame goes into the new
	// framebuffer instead.
	if (!lent) {
		if (SDL_Surface* framebuffer = Framebuffer()) {
			Copy(frame, framebuffer);
			DrawStatsOverlay(framebuffer);
			if (SDL_UpdateWindowSurface(fWindow.get()) == 0 || WindowGone())
				return {};
		}
	}
	return Error{std::string("cannot show the frame in the window: ") + SDL_GetError()};
}


void
WindowOutput::HandleMotion(int x, int y)
{
	// On the screen, so that a window moved under a still pointer is no
	// motion.
	int left = 0;
	int top = 0;
	SDL_GetWindowPosition(fWindow.get(), &left, &top);
	x += left;
	y += top;
	// While the window settles (mapped, placed, entered by a pointer that
	// has not moved) the pointer's place is only noted, as it is the first
	// time the pointer is seen at all.
	if (!fPointerSeen || !fShown || steady_clock::now() - fShownAt < kSettleTime) {
		fPointerX = x;
		fPointerY = y;
		fPointerSeen = true;
		return;
	}
	long dx = x - fPointerX;
	long dy = y - fPointerY;
	if (dx * dx + dy * dy >= static_cast<long>(kJitterPixels) * kJitterPixels)
		fPending.quit = true;
}


void
WindowOutput::Handle(const SDL_Event& event)
{
	switch (event.type) {
		case SDL_WINDOWEVENT:
			if (event.window.windowID != SDL_GetWindowID(fWindow.get()))
				break;
			if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
				// A size the view already has cancels a change not yet
				// acted on.
				Size size{event.window.data1, event.window.data2};
				if (SameSize(size, fViewSize))
					fPending.resized.reset();
				else
					fPending.resized = size;
			} else if (event.window.event == SDL_WINDOWEVENT_CLOSE && !fBorrowed) {
				fPending.quit = true;
			}
			break;

		// In its own window the saver is a screen saver: the user's first
		// touch ends it. A borrowed window's owner ends it with a signal.
		case SDL_QUIT:
		case SDL_KEYDOWN:
		case SDL_MOUSEBUTTONDOWN:
		case SDL_MOUSEWHEEL:
		case SDL_FINGERDOWN:
			if (!fBorrowed)
				fPending.quit = true;
			break;
		case SDL_MOUSEMOTION:
			if (!fBorrowed)
				HandleMotion(event.motion.x, event.motion.y);
			break;

		case SDL_SYSWMEVENT:
			if (fBorrowed && event.syswm.msg != nullptr
				&& event.syswm.msg->subsystem == SDL_SYSWM_X11) {
				const XEvent& xEvent = event.syswm.msg->msg.x11.event;
				if (xEvent.type == DestroyNotify
					&& xEvent.xdestroywindow.window == fErrors->Window())
					fErrors->MarkGone();
			}
			break;
	}
}


bool
WindowOutput::WindowGone()
{
	if (!fErrors || !fErrors->Gone())
		return false;
	if (!fGoneReported) {
		fGoneReported = true;
		Report("window " + WindowIdText(fErrors->Window()) + " is gone; stopping");
	}
	return true;
}


OutputEvents
WindowOutput::TakeEvents()
{
	if (WindowGone())
		fPending.quit = true;
	OutputEvents events = fPending;
	fPending = OutputEvents{};
	if (events.resized)
		fViewSize = *events.resized;
	return events;
}


OutputEvents
WindowOutput::Poll()
{
	if (!fWindow)
		return {};
	SDL_Event event;
	while (SDL_PollEvent(&event))
		Handle(event);
	return TakeEvents();
}


OutputEvents
WindowOutput::WaitUntil(steady_clock::time_point deadline)
{
	if (!fWindow)
		return Output::WaitUntil(deadline);
	while (true) {
		SDL_Event event;
		while (SDL_PollEvent(&event))
			Handle(event);
		if (fPending.quit || fPending.resized || WindowGone())
			break;
		steady_clock::time_point now = steady_clock::now();
		if (now >= deadline)
			break;
		// Rounded up: a wait that ends a little short of the deadline would
		// spin through its last millisecond.
		long long remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now)
			.count();
		if (SDL_WaitEventTimeout(&event, static_cast<int>(std::min<long long>(remaining,
				INT_MAX))))
			Handle(event);
	}
	return TakeEvents();
}


Result<SansFont*>
WindowOutput::LoadedFont()
{
	if (!fFont && fFontError.empty()) {
		Result<std::unique_ptr<SansFont>> loaded = SansFont::Load(kTextPixels);
		if (loaded)
			fFont = std::move(loaded.Value());
		else
			fFontError = loaded.Message();
	}
	if (!fFont)
		return Error{fFontError};
	return fFont.get();
}


void
WindowOutput::ReportFontError()
{
	if (fFontReported)
		return;
	fFontReported = true;
	Report(fFontError);
}


void
WindowOutput::ShowStats(const FrameStats& stats)
{
	if (!fWindow)
		return;
	char text[96];
	std::snprintf(text, sizeof(text), "%.1f fps, %.1f ms a frame, %.0f%% CPU",
		stats.framesPerSecond, stats.frameMilliseconds, stats.cpuPercent);
	// ASCII: SDL's X11 titles lose anything else in the C locale the host
	// runs in.
	if (!fBorrowed)
		SDL_SetWindowTitle(fWindow.get(), (fName + " - " + text).c_str());
	if (!fStatsOverlay)
		return;
	Result<SansFont*> font = LoadedFont();
	if (font)
		fStatsText = font.Value()->Render(text, kStatsText);
	else
		ReportFontError();
}


void
WindowOutput::ShowNotice(const std::string& text)
{
	Output::ShowNotice(text);
	if (!fWindow || WindowGone())
		return;
	Result<SansFont*> font = LoadedFont();
	if (!font)
		ReportFontError();

	// Up for a while, or until the user or a signal ends it; drawn again
	// when the window changes size.
	SignalHold signals;
	Show();
	steady_clock::time_point deadline = steady_clock::now() + kNoticeTime;
	bool draw = true;
	while (!signals.Arrived() && steady_clock::now() < deadline) {
		if (draw) {
			SDL_Surface* framebuffer = Framebuffer();
			if (framebuffer == nullptr)
				return;
			DrawNotice(framebuffer, text, font ? font.Value() : nullptr);
			SDL_UpdateWindowSurface(fWindow.get());
			draw = false;
		}
		OutputEvents events = WaitUntil(std::min(deadline,
			steady_clock::now() + std::chrono::milliseconds(kSignalCheckMilliseconds)));
		if (events.quit)
			break;
		draw = events.resized.has_value();
	}
}


Result<void>
WindowOutput::ShowSettings(const SettingsPanel& panel)
{
	// The listing first, as without a window, and out at once, so that a
	// script reading it need not wait for the window to close.
	Result<void> listed = Output::ShowSettings(panel);
	if (!listed)
		return listed;
	std::fflush(stdout);
	if (!fWindow)
		return {};

	Result<SansFont*> font = LoadedFont();
	if (!font)
		return Error{"cannot show the settings: " + font.Message()};

	WindowPtr window(SDL_CreateWindow((fName + " settings").c_str(), SDL_WINDOWPOS_UNDEFINED,
		SDL_WINDOWPOS_UNDEFINED, panel.size.width, panel.size.height, SDL_WINDOW_SHOWN));
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
			SDL_UpdateWindowSurface(window.get());
			draw = false;
		}
		SDL_Event event;
		if (!SDL_WaitEventTimeout(&event, kSignalCheckMilliseconds))
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
