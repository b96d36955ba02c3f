// One connection to the Wayland compositor that WAYLAND_DISPLAY names, with
// the globals the native Wayland output uses bound (those the compositor
// offers: the surfaces' shells and the idle protocols are each optional),
// the seats' input watched, and the outputs (monitors) followed as they come
// and go.
#ifndef SAVERHOST_WAYLAND_CONNECTION_H
#define SAVERHOST_WAYLAND_CONNECTION_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Result.h"
#include "base/SignalHold.h"
#include "outputs/wayland/SeatInput.h"
#include "outputs/wayland/WaylandProtocols.h"

class WaylandConnection {
	struct Token {
		explicit Token() = default;
	};

public:
	// Connects and binds the globals, or says why it cannot: no compositor
	// answers, or it lacks what every surface needs (wl_compositor version 4,
	// wl_shm).
	static Result<std::unique_ptr<WaylandConnection>> Connect();

	WaylandConnection(Token, wl_display* display);
	~WaylandConnection();

	WaylandConnection(const WaylandConnection&) = delete;
	WaylandConnection& operator=(const WaylandConnection&) = delete;

	wl_display* Display() const { return fDisplay.get(); }
	wl_compositor* Compositor() const { return fCompositor.get(); }
	wl_shm* Shm() const { return fShm.get(); }
	// Each null where the compositor does not offer it.
	xdg_wm_base* WindowManager() const { return fWindowManager.get(); }
	zwlr_layer_shell_v1* LayerShell() const { return fLayerShell.get(); }
	ext_idle_notifier_v1* IdleNotifier() const { return fIdleNotifier.get(); }
	org_kde_kwin_idle* KdeIdle() const { return fKdeIdle.get(); }

	SeatInput& Input() { return fInput; }

	// A monitor, as the compositor's wl_output global.
	struct Monitor {
		uint32_t name = 0;
		uint32_t version = 0;
		wl_output* output = nullptr;
		// Pixels per unit of the compositor's coordinates.
		int32_t scale = 1;
	};
	const std::vector<std::unique_ptr<Monitor>>& Monitors() const { return fMonitors; }
	// Told of each monitor that comes (true) or goes (false, before its
	// wl_output is destroyed) from now on.
	void FollowMonitors(std::function<void(const Monitor&, bool added)> follow);

	// Sends the requests made so far and handles the events that came,
	// without waiting. False once the connection is lost.
	bool Dispatch();
	// Sends the requests made so far, and waits until deadline for events,
	// handling those that come. A signal the hold holds ends the wait: it is
	// let in for the sleep alone, and its handler may run then.
	enum class Wait { Done, Interrupted, Lost };
	Wait WaitUntil(std::chrono::steady_clock::time_point deadline, const SignalHold& signals);
	// Waits until the compositor has handled every request made so far, and
	// handles the events they brought.
	bool Roundtrip();
	// The compositor went away, or ended the connection over an error.
	bool Lost() const;
	// Why the connection was lost, or empty.
	std::string Failure() const;

private:
	bool _Bind();
	void _Global(uint32_t name, const char* interface, uint32_t version);
	void _GlobalRemove(uint32_t name);
	void _AddMonitor(uint32_t name, uint32_t version);
	static void _Release(const Monitor& monitor);

	static const struct wl_registry_listener kRegistryListener;

	// The display goes last, after every object made on it.
	WaylandPtr<wl_display> fDisplay;
	WaylandPtr<wl_registry> fRegistry;
	WaylandPtr<wl_compositor> fCompositor;
	WaylandPtr<wl_shm> fShm;
	WaylandPtr<xdg_wm_base> fWindowManager;
	WaylandPtr<zwlr_layer_shell_v1> fLayerShell;
	WaylandPtr<ext_idle_notifier_v1> fIdleNotifier;
	WaylandPtr<org_kde_kwin_idle> fKdeIdle;
	SeatInput fInput;
	std::vector<std::unique_ptr<Monitor>> fMonitors;
	std::function<void(const Monitor&, bool)> fFollow;
};

#endif	// SAVERHOST_WAYLAND_CONNECTION_H
