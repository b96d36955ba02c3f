#include "outputs/wayland/ScreenMonitor.h"

#include "base/Report.h"
#include "outputs/pictures/WindowPictures.h"
#include "outputs/wayland/FrameSurface.h"
#include "outputs/wayland/LayerRole.h"
#include "outputs/wayland/ToplevelRole.h"


namespace {

// Round trips to wait for the first configure, as the saver's own window.
constexpr int kConfigureTries = 3;

}	// namespace


ScreenMonitor::ScreenMonitor(WaylandConnection& connection,
	const WaylandConnection::Monitor& monitor, const std::string& title)
	:
	fConnection(connection),
	fName(monitor.name),
	fMonitor(&monitor),
	fLayer(connection.LayerShell() != nullptr),
	fSurface(std::make_unique<FrameSurface>(connection))
{
	if (fLayer) {
		fRole = std::make_unique<LayerRole>(connection.LayerShell(), fSurface->Get(),
			monitor.output);
	} else {
		fRole = std::make_unique<ToplevelRole>(connection.WindowManager(), fSurface->Get(),
			title, ToplevelRole::Placement{true, monitor.output, std::nullopt});
	}
}


ScreenMonitor::~ScreenMonitor()
{
	fRole.reset();
	fSurface.reset();
}


bool
ScreenMonitor::Gone() const
{
	return fMonitor == nullptr || (fLayer && fRole->Closed());
}


bool
ScreenMonitor::AskedToClose() const
{
	return !fLayer && fRole->Closed();
}


void
ScreenMonitor::FrameDue()
{
	fOutOfSight = fSurface->AwaitingFrame();
}


bool
ScreenMonitor::BackInSight() const
{
	return fOutOfSight && !fSurface->AwaitingFrame();
}


// The size the compositor gives, in its coordinates; a side it leaves
// open is taken from --size.
Size
ScreenMonitor::_Requested() const
{
	Size requested = fRole->Requested();
	return Size{requested.width > 0 ? requested.width : fAskedSize.width,
		requested.height > 0 ? requested.height : fAskedSize.height};
}


// The view's size: the monitor's pixels, its scale times the compositor's
// size; the surface's buffers follow.
void
ScreenMonitor::_Size()
{
	if (fMonitor != nullptr)
		fScale = fMonitor->scale;
	Size requested = _Requested();
	fViewSize = Size{requested.width * fScale, requested.height * fScale};
	fSurface->Resize(requested, fScale);
	fRole->Acknowledge();
}


Result<Size>
ScreenMonitor::Open(const Options& options)
{
	fAskedSize = options.size;
	for (int i = 0; i < kConfigureTries && !fRole->Configured() && !Gone(); i++) {
		if (!fConnection.Roundtrip())
			return Error{"lost the Wayland compositor (" + fConnection.Failure() + ")"};
	}
	if (!fRole->Configured() || Gone())
		return Error{"the Wayland compositor did not place the screen saver on a monitor"};
	_Size();
	return fViewSize;
}


std::optional<PixelTarget>
ScreenMonitor::LendPixels(Size size)
{
	if (Gone() || fConnection.Lost())
		return std::nullopt;
	return fSurface->Lend(size);
}


Result<void>
ScreenMonitor::Present(const PixelView& frame, const Damage& damage)
{
	if (Gone())
		return {};
	bool wasShown = fSurface->Shown();
	Result<void> shown = fSurface->Present(frame, damage);
	if (!shown)
		return shown;
	// The first picture maps the surface: pointer motion then settles.
	if (!wasShown)
		fConnection.Input().Settle();
	if (!fConnection.Dispatch())
		return Error{"lost the Wayland compositor (" + fConnection.Failure() + ")"};
	return {};
}


OutputEvents
ScreenMonitor::Poll()
{
	fConnection.Dispatch();
	OutputEvents events;
	Size before = fViewSize;
	if (!Gone())
		_Size();
	if (!SameSize(before, fViewSize)) {
		events.resized = fViewSize;
		fConnection.Input().Settle();
	}
	// A lost connection is said by the next Present.
	fOutOfSight = fOutOfSight && fSurface->AwaitingFrame() && !fConnection.Lost();
	events.outOfSight = fOutOfSight || Gone();
	return events;
}


void
ScreenMonitor::ShowStats(const FrameStats& stats)
{
	SansFont* font = fFont.ForExtra();
	if (font == nullptr)
		return;
	fStatsText = RenderStats(*font, FormatStats(stats));
	fSurface->ShowOverlay(fStatsText.get());
}
