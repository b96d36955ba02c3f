#include "outputs/wayland/WaylandOutput.h"

#include <algorithm>

#include "base/Report.h"
#include "base/SignalHold.h"
#include "outputs/pictures/WindowPictures.h"
#include "outputs/pictures/WindowTitle.h"
#include "outputs/wayland/FrameSurface.h"
#include "outputs/wayland/SettingsWindow.h"
#include "outputs/wayland/ToplevelRole.h"
#include "outputs/wayland/WaylandConnection.h"


using std::chrono::steady_clock;


namespace {

// Round trips to wait for the window's first configure: one is enough for
// any compositor that answers at all.
constexpr int kConfigureTries = 3;

const char* const kTryElse = "; try --output x11 or --output terminal";

}	// namespace


WaylandOutput::WaylandOutput() = default;
WaylandOutput::~WaylandOutput() = default;


Result<Size>
WaylandOutput::Open(const Options& options)
{
	fName = WindowTitle(options.modulePath);
	fFullscreen = options.fullscreen;
	fStatsOverlay = options.fps && fFullscreen;
	fAskedSize = options.size;

	Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::Connect();
	if (!connected)
		return Error{connected.Message() + kTryElse};
	fConnection = std::move(connected.Value());
	if (fConnection->WindowManager() == nullptr)
		return Error{std::string("the Wayland compositor offers no xdg-shell windows") + kTryElse};

	fSurface = std::make_unique<FrameSurface>(*fConnection);
	fWindow = std::make_unique<ToplevelRole>(fConnection->WindowManager(), fSurface->Get(),
		fName, ToplevelRole::Placement{fFullscreen, nullptr, std::nullopt});
	if (fFullscreen)
		fConnection->Input().HidePointer();
	for (int i = 0; i < kConfigureTries && !fWindow->Configured(); i++) {
		if (!fConnection->Roundtrip())
			return Error{"lost the Wayland compositor (" + fConnection->Failure() + ")"};
	}
	if (!fWindow->Configured())
		return Error{std::string("the Wayland compositor did not place the window") + kTryElse};
	fViewSize = _Configured();
	fSurface->Resize(fViewSize, 1);
	fWindow->Acknowledge();
	return fViewSize;
}


// The size the compositor asked for, each side it left open as --size has it.
Size
WaylandOutput::_Configured() const
{
	Size requested = fWindow->Requested();
	return Size{requested.width > 0 ? requested.width : fAskedSize.width,
		requested.height > 0 ? requested.height : fAskedSize.height};
}


std::optional<PixelTarget>
WaylandOutput::LendPixels(Size size)
{
	if (!fSurface || fConnection->Lost() || fWindow->Closed())
		return std::nullopt;
	return fSurface->Lend(size);
}


// The first picture maps the window: pointer motion then settles.
void
WaylandOutput::_Shown(bool wasShown)
{
	if (!wasShown && fSurface->Shown())
		fConnection->Input().Settle();
}


Result<void>
WaylandOutput::Present(const PixelView& frame, const Damage& damage)
{
	if (!fSurface)
		return Error{"the window is not open"};
	if (fWindow->Closed())
		return {};
	bool wasShown = fSurface->Shown();
	Result<void> shown = fSurface->Present(frame, damage);
	if (!shown)
		return shown;
	_Shown(wasShown);
	if (!fConnection->Dispatch())
		return Error{"lost the Wayland compositor (" + fConnection->Failure() + ")"};
	return {};
}


// Something the host must hear of at once.
bool
WaylandOutput::_Pending() const
{
	return fConnection->Lost() || fWindow->Closed()
		|| fConnection->Input().Touched(fSurface->Get())
		|| !SameSize(_Configured(), fViewSize) || (fOutOfSight && !fSurface->AwaitingFrame());
}


OutputEvents
WaylandOutput::_TakeEvents()
{
	OutputEvents events;
	events.quit = fWindow->Closed() || fConnection->Input().Touched(fSurface->Get());
	Size configured = _Configured();
	if (!SameSize(configured, fViewSize)) {
		events.resized = configured;
		fViewSize = configured;
		fSurface->Resize(configured, 1);
		fConnection->Input().Settle();
	}
	fWindow->Acknowledge();
	// A lost connection is said by the next Present.
	fOutOfSight = fOutOfSight && fSurface->AwaitingFrame() && !fConnection->Lost();
	events.outOfSight = fOutOfSight;
	return events;
}


OutputEvents
WaylandOutput::Poll()
{
	if (!fConnection)
		return {};
	fConnection->Dispatch();
	return _TakeEvents();
}


OutputEvents
WaylandOutput::WaitUntil(steady_clock::time_point deadline)
{
	if (!fConnection)
		return Output::WaitUntil(deadline);
	// A signal ends the wait, and arrives as the hold goes.
	SignalHold signals;
	while (!_Pending()) {
		if (steady_clock::now() >= deadline) {
			// The next frame is due, and the compositor has not called for it.
			fOutOfSight = fSurface->AwaitingFrame();
			break;
		}
		if (fConnection->WaitUntil(deadline, signals) != WaylandConnection::Wait::Done)
			break;
	}
	return _TakeEvents();
}


void
WaylandOutput::ShowStats(const FrameStats& stats)
{
	if (!fWindow)
		return;
	std::string text = FormatStats(stats);
	if (!fFullscreen)
		fWindow->SetTitle(fName + " - " + text);
	if (!fStatsOverlay)
		return;
	SansFont* font = fFont.ForExtra();
	if (font == nullptr)
		return;
	fStatsText = RenderStats(*font, text);
	fSurface->ShowOverlay(fStatsText.get());
}


void
WaylandOutput::ShowNotice(const std::string& text)
{
	Output::ShowNotice(text);
	if (!fSurface || fConnection->Lost() || fWindow->Closed())
		return;
	SansFont* font = fFont.ForExtra();

	// Up for a while, or until the user or a signal ends it; drawn again
	// when the window changes size.
	SignalHold signals;
	steady_clock::time_point deadline = steady_clock::now() + kNoticeTime;
	bool draw = true;
	while (!signals.Arrived() && steady_clock::now() < deadline) {
		if (draw) {
			bool wasShown = fSurface->Shown();
			Result<void> painted = fSurface->Paint([&](SDL_Surface* target) {
				DrawNotice(target, text, font);
			});
			if (!painted)
				return;
			_Shown(wasShown);
			draw = false;
		}
		OutputEvents events = WaitUntil(std::min(deadline,
			steady_clock::now() + std::chrono::milliseconds(SignalHold::kCheckMilliseconds)));
		if (events.quit || fConnection->Lost())
			break;
		draw = events.resized.has_value();
	}
}


// The panel in a window of its own; the views are listed on standard output
// only where there is no window.
Result<void>
WaylandOutput::ShowSettings(const SettingsPanel& panel)
{
	if (!fConnection)
		return Output::ShowSettings(panel);
	Result<SansFont*> font = fFont.Get();
	if (!font)
		return Error{"cannot show the settings: " + font.Message()};
	Result<void> shown = ShowSettingsWindow(*fConnection, fName + " settings", panel,
		*font.Value());
	// Nothing of the settings window's life may reach the saver's run: the
	// key or click that closed it is no request to stop.
	fConnection->Input().Forget();
	return shown;
}
