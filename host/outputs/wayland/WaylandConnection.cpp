#include "outputs/wayland/WaylandConnection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>


using std::chrono::steady_clock;


namespace {

// The versions bound: what the output uses, and no later, so that no event
// it does not know of comes. wl_compositor 4 has damage in buffer pixels;
// wl_output 2 the monitor's scale, 3 its release.
constexpr uint32_t kCompositorVersion = 4;
constexpr uint32_t kSeatVersion = 5;
constexpr uint32_t kOutputVersion = 3;


std::string
DisplayName()
{
	const char* name = std::getenv("WAYLAND_DISPLAY");
	return name != nullptr && *name != '\0' ? name : "wayland-0";
}


template<typename Object>
Object*
Bind(const WaylandPtr<wl_registry>& registry, uint32_t name, const wl_interface& interface,
	uint32_t version)
{
	return static_cast<Object*>(wl_registry_bind(registry.get(), name, &interface, version));
}


wl_output_listener
OutputListener()
{
	using Monitor = WaylandConnection::Monitor;
	wl_output_listener listener{};
	listener.geometry = [](void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t,
		const char*, const char*, int32_t) {};
	listener.mode = [](void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {};
	listener.done = [](void*, wl_output*) {};
	listener.scale = [](void* data, wl_output*, int32_t scale) {
		static_cast<Monitor*>(data)->scale = std::max(scale, 1);
	};
	return listener;
}

const wl_output_listener kOutputListener = OutputListener();


// The window manager asks now and then whether the client still answers.
const xdg_wm_base_listener kWindowManagerListener = {
	[](void*, xdg_wm_base* windowManager, uint32_t serial) {
		xdg_wm_base_pong(windowManager, serial);
	},
};


// A timeout for ppoll from now until deadline, none below zero.
timespec
TimeUntil(steady_clock::time_point deadline)
{
	long long nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
		deadline - steady_clock::now()).count();
	nanoseconds = std::max(nanoseconds, 0LL);
	return timespec{static_cast<time_t>(nanoseconds / 1'000'000'000),
		static_cast<long>(nanoseconds % 1'000'000'000)};
}

}	// namespace


const wl_registry_listener WaylandConnection::kRegistryListener = {
	[](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
		static_cast<WaylandConnection*>(data)->_Global(name, interface, version);
	},
	[](void* data, wl_registry*, uint32_t name) {
		static_cast<WaylandConnection*>(data)->_GlobalRemove(name);
	},
};


Result<std::unique_ptr<WaylandConnection>>
WaylandConnection::Connect()
{
	std::string compositor = "the Wayland compositor \"" + DisplayName() + "\"";
	errno = 0;
	wl_display* display = wl_display_connect(nullptr);
	if (display == nullptr) {
		return Error{"cannot connect to " + compositor + " ("
			+ std::strerror(errno != 0 ? errno : ECONNREFUSED) + ")"};
	}
	auto connection = std::make_unique<WaylandConnection>(Token{}, display);
	if (!connection->_Bind())
		return Error{"lost " + compositor + " (" + connection->Failure() + ")"};
	if (connection->fCompositor == nullptr)
		return Error{compositor + " offers no wl_compositor of version 4 or later"};
	if (connection->fShm == nullptr)
		return Error{compositor + " offers no shared-memory buffers (wl_shm)"};
	return Result<std::unique_ptr<WaylandConnection>>(std::move(connection));
}


WaylandConnection::WaylandConnection(Token, wl_display* display)
	:
	fDisplay(display)
{
}


WaylandConnection::~WaylandConnection()
{
	// The globals and the seats go with their members, before the display.
	for (const std::unique_ptr<Monitor>& monitor : fMonitors)
		_Release(*monitor);
}


// The globals there are, then what binding them brought: the seats'
// devices, the monitors' scales.
bool
WaylandConnection::_Bind()
{
	fRegistry.reset(wl_display_get_registry(fDisplay.get()));
	wl_registry_add_listener(fRegistry.get(), &kRegistryListener, this);
	return Roundtrip() && Roundtrip();
}


void
WaylandConnection::_Global(uint32_t name, const char* interface, uint32_t version)
{
	std::string_view offered(interface);
	if (offered == wl_compositor_interface.name && version >= kCompositorVersion) {
		fCompositor.reset(Bind<wl_compositor>(fRegistry, name, wl_compositor_interface,
			kCompositorVersion));
	} else if (offered == wl_shm_interface.name) {
		fShm.reset(Bind<wl_shm>(fRegistry, name, wl_shm_interface, 1));
	} else if (offered == xdg_wm_base_interface.name) {
		fWindowManager.reset(Bind<xdg_wm_base>(fRegistry, name, xdg_wm_base_interface, 1));
		xdg_wm_base_add_listener(fWindowManager.get(), &kWindowManagerListener, nullptr);
	} else if (offered == zwlr_layer_shell_v1_interface.name) {
		fLayerShell.reset(Bind<zwlr_layer_shell_v1>(fRegistry, name,
			zwlr_layer_shell_v1_interface, 1));
	} else if (offered == ext_idle_notifier_v1_interface.name) {
		fIdleNotifier.reset(Bind<ext_idle_notifier_v1>(fRegistry, name,
			ext_idle_notifier_v1_interface, 1));
	} else if (offered == org_kde_kwin_idle_interface.name) {
		fKdeIdle.reset(Bind<org_kde_kwin_idle>(fRegistry, name, org_kde_kwin_idle_interface,
			1));
	} else if (offered == wl_seat_interface.name) {
		uint32_t bound = std::min(version, kSeatVersion);
		fInput.AddSeat(Bind<wl_seat>(fRegistry, name, wl_seat_interface, bound), bound, name);
	} else if (offered == wl_output_interface.name && version >= 2) {
		_AddMonitor(name, std::min(version, kOutputVersion));
	}
}


void
WaylandConnection::_AddMonitor(uint32_t name, uint32_t version)
{
	auto monitor = std::make_unique<Monitor>();
	monitor->name = name;
	monitor->version = version;
	monitor->output = Bind<wl_output>(fRegistry, name, wl_output_interface, version);
	wl_output_add_listener(monitor->output, &kOutputListener, monitor.get());
	fMonitors.push_back(std::move(monitor));
	if (fFollow)
		fFollow(*fMonitors.back(), true);
}


void
WaylandConnection::_Release(const Monitor& monitor)
{
	if (monitor.version >= WL_OUTPUT_RELEASE_SINCE_VERSION)
		wl_output_release(monitor.output);
	else
		wl_output_destroy(monitor.output);
}


void
WaylandConnection::_GlobalRemove(uint32_t name)
{
	fInput.RemoveSeat(name);
	auto gone = std::find_if(fMonitors.begin(), fMonitors.end(),
		[name](const std::unique_ptr<Monitor>& monitor) { return monitor->name == name; });
	if (gone == fMonitors.end())
		return;
	if (fFollow)
		fFollow(**gone, false);
	_Release(**gone);
	fMonitors.erase(gone);
}


void
WaylandConnection::FollowMonitors(std::function<void(const Monitor&, bool)> follow)
{
	fFollow = std::move(follow);
}


bool
WaylandConnection::Dispatch()
{
	wl_display* display = fDisplay.get();
	while (wl_display_prepare_read(display) != 0) {
		if (wl_display_dispatch_pending(display) < 0)
			return false;
	}
	wl_display_flush(display);
	pollfd connection{wl_display_get_fd(display), POLLIN, 0};
	if (poll(&connection, 1, 0) > 0) {
		if (wl_display_read_events(display) < 0)
			return false;
	} else {
		wl_display_cancel_read(display);
	}
	return wl_display_dispatch_pending(display) >= 0;
}


WaylandConnection::Wait
WaylandConnection::WaitUntil(steady_clock::time_point deadline, const SignalHold& signals)
{
	wl_display* display = fDisplay.get();
	while (wl_display_prepare_read(display) != 0) {
		if (wl_display_dispatch_pending(display) < 0)
			return Wait::Lost;
	}
	// What the socket cannot take now goes out as it drains.
	bool unsent = wl_display_flush(display) < 0;
	if (unsent && errno != EAGAIN) {
		wl_display_cancel_read(display);
		return Wait::Lost;
	}
	if (signals.Arrived()) {
		wl_display_cancel_read(display);
		return Wait::Interrupted;
	}

	pollfd connection{wl_display_get_fd(display),
		static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)), 0};
	timespec timeout = TimeUntil(deadline);
	int ready = ppoll(&connection, 1, &timeout, &signals.Previous());
	bool interrupted = ready < 0 && errno == EINTR;
	if (ready > 0 && (connection.revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
		if (wl_display_read_events(display) < 0)
			return Wait::Lost;
	} else {
		wl_display_cancel_read(display);
	}
	if (wl_display_dispatch_pending(display) < 0)
		return Wait::Lost;
	return interrupted ? Wait::Interrupted : Wait::Done;
}


bool
WaylandConnection::Roundtrip()
{
	return wl_display_roundtrip(fDisplay.get()) >= 0;
}


bool
WaylandConnection::Lost() const
{
	return wl_display_get_error(fDisplay.get()) != 0;
}


std::string
WaylandConnection::Failure() const
{
	int error = wl_display_get_error(fDisplay.get());
	if (error == 0)
		return "";
	if (error != EPROTO)
		return std::strerror(error);
	const wl_interface* interface = nullptr;
	uint32_t id = 0;
	uint32_t code = wl_display_get_protocol_error(fDisplay.get(), &interface, &id);
	return "protocol error " + std::to_string(code) + " on "
		+ (interface != nullptr ? interface->name : "an object");
}
