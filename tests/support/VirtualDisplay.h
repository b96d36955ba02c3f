// An X server of the tests' own: Xvfb on a display number it finds free, for
// the programs under test to draw on and for the tests to read back.
#ifndef TESTS_VIRTUAL_DISPLAY_H
#define TESTS_VIRTUAL_DISPLAY_H

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <X11/Xlib.h>

// A window's pixels as read back, in B_RGB32: blue, green, red, unused.
struct WindowPixels {
	int width = 0;
	int height = 0;
	std::vector<uint8_t> bits;

	const uint8_t* At(int x, int y) const { return &bits[(static_cast<size_t>(y) * width + x) * 4]; }
	bool AllBlack() const;
};

class VirtualDisplay {
public:
	// Xvfb with one screen of the size (1024x768 unless given), depth 24, and
	// a connection to it; or null, with the reason in why, and missing set
	// when Xvfb is not installed. Xvfb ends with this process, however it ends.
	static std::unique_ptr<VirtualDisplay> Start(std::string& why, bool& missing,
		int width = 1024, int height = 768);

	// Stops Xvfb and waits for it.
	~VirtualDisplay();

	VirtualDisplay(const VirtualDisplay&) = delete;
	VirtualDisplay& operator=(const VirtualDisplay&) = delete;

	// As DISPLAY names it: ":N".
	const std::string& Name() const { return fName; }
	Display* Connection() const { return fConnection; }
	// Xvfb's process, for what it costs.
	pid_t ServerId() const { return fServer; }
	Window Root() const { return DefaultRootWindow(fConnection); }

	// A mapped top-level window of the size, black.
	Window CreateWindow(int width, int height);
	// Destroys the windows CreateWindow() made.
	void DestroyWindows();
	// The viewable top-level window with the title, if there is one now.
	std::optional<Window> FindWindow(const std::string& title);
	// Waits a while for FindWindow() to find it.
	std::optional<Window> AwaitWindow(const std::string& title);
	// The window's pixels, or none when it went meanwhile.
	std::optional<WindowPixels> Read(Window window);
	// Asks the window's client to close it, as a window manager does.
	void Close(Window window);
	// Moves the pointer to a place on the screen, as a user would.
	void MovePointer(int x, int y);
	// Gives the screen a new size through RANDR, as a monitor plugged in or a
	// display setting changed would: the one output shows a mode of that
	// size, made if need be, and the root window takes the size. At most
	// the size the server started with.
	bool ResizeScreen(int width, int height);

	// X errors on connections other than the tests' own since the last look:
	// errors the program under test did not handle, in the same process.
	static int TakeForeignErrors();

private:
	VirtualDisplay(pid_t server, std::string name, Display* connection);

	pid_t fServer;
	std::string fName;
	Display* fConnection;
	std::vector<Window> fWindows;
};

#endif	// TESTS_VIRTUAL_DISPLAY_H
