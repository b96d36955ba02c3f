#include "VirtualDisplay.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>


namespace {

Display* sOwnConnection = nullptr;
int sForeignErrors = 0;


// Windows the tests read may go at any moment; Xlib's default handler would
// end the test program over that.
int
OnError(Display* display, XErrorEvent*)
{
	if (display != sOwnConnection)
		sForeignErrors++;
	return 0;
}


// The display number Xvfb writes once it listens; none when it could not
// start, or is not installed.
std::optional<std::string>
ReadDisplayNumber(int fd)
{
	std::string number;
	char c;
	while (read(fd, &c, 1) == 1 && c != '\n')
		number += c;
	return number.empty() ? std::nullopt : std::optional<std::string>(number);
}

}	// namespace


bool
WindowPixels::AllBlack() const
{
	for (size_t i = 0; i < bits.size(); i += 4) {
		if (bits[i] != 0 || bits[i + 1] != 0 || bits[i + 2] != 0)
			return false;
	}
	return true;
}


std::unique_ptr<VirtualDisplay>
VirtualDisplay::Start(std::string& why, bool& missing, int width, int height)
{
	missing = false;
	int pipeFds[2];
	if (pipe(pipeFds) != 0) {
		why = std::string("pipe: ") + std::strerror(errno);
		return nullptr;
	}
	std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
	pid_t server = fork();
	if (server == 0) {
		prctl(PR_SET_PDEATHSIG, SIGTERM);
		close(pipeFds[0]);
		int quiet = open("/dev/null", O_WRONLY);
		dup2(quiet, STDOUT_FILENO);
		dup2(quiet, STDERR_FILENO);
		std::string fd = std::to_string(pipeFds[1]);
		execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
			"-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
		_exit(127);
	}
	close(pipeFds[1]);
	std::optional<std::string> number = server > 0 ? ReadDisplayNumber(pipeFds[0])
		: std::nullopt;
	close(pipeFds[0]);

	std::string name = ":" + number.value_or("");
	Display* connection = number ? XOpenDisplay(name.c_str()) : nullptr;
	if (connection == nullptr) {
		int status = 0;
		if (server > 0) {
			kill(server, SIGTERM);
			waitpid(server, &status, 0);
		}
		missing = server > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 127;
		why = missing ? "Xvfb is not installed" : number ? "cannot connect to Xvfb on " + name
			: "Xvfb did not start";
		return nullptr;
	}
	sOwnConnection = connection;
	sForeignErrors = 0;
	XSetErrorHandler(OnError);
	return std::unique_ptr<VirtualDisplay>(new VirtualDisplay(server, name, connection));
}


VirtualDisplay::VirtualDisplay(pid_t server, std::string name, Display* connection)
	:
	fServer(server),
	fName(std::move(name)),
	fConnection(connection)
{
}


VirtualDisplay::~VirtualDisplay()
{
	XCloseDisplay(fConnection);
	sOwnConnection = nullptr;
	kill(fServer, SIGTERM);
	waitpid(fServer, nullptr, 0);
}


Window
VirtualDisplay::CreateWindow(int width, int height)
{
	Window window = XCreateSimpleWindow(fConnection, Root(), 0, 0, width, height, 0, 0, 0);
	XSelectInput(fConnection, window, StructureNotifyMask);
	XMapWindow(fConnection, window);
	// Mapped once the server says so.
	for (XEvent event;;) {
		XWindowEvent(fConnection, window, StructureNotifyMask, &event);
		if (event.type == MapNotify)
			break;
	}
	XSelectInput(fConnection, window, NoEventMask);
	XSync(fConnection, False);
	fWindows.push_back(window);
	return window;
}


void
VirtualDisplay::DestroyWindows()
{
	for (Window window : fWindows)
		XDestroyWindow(fConnection, window);
	XSync(fConnection, False);
	fWindows.clear();
}


std::optional<Window>
VirtualDisplay::FindWindow(const std::string& title)
{
	Window root;
	Window parent;
	Window* children = nullptr;
	unsigned int count = 0;
	if (!XQueryTree(fConnection, Root(), &root, &parent, &children, &count))
		return std::nullopt;
	std::optional<Window> found;
	for (unsigned int i = 0; i < count && !found; i++) {
		XWindowAttributes attributes;
		char* name = nullptr;
		if (XGetWindowAttributes(fConnection, children[i], &attributes)
			&& attributes.map_state == IsViewable
			&& XFetchName(fConnection, children[i], &name) && name != nullptr) {
			if (title == name)
				found = children[i];
		}
		if (name != nullptr)
			XFree(name);
	}
	if (children != nullptr)
		XFree(children);
	return found;
}


std::optional<Window>
VirtualDisplay::AwaitWindow(const std::string& title)
{
	auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
	while (std::chrono::steady_clock::now() < until) {
		if (std::optional<Window> window = FindWindow(title))
			return window;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	return std::nullopt;
}


std::optional<WindowPixels>
VirtualDisplay::Read(Window window)
{
	XWindowAttributes attributes;
	if (!XGetWindowAttributes(fConnection, window, &attributes))
		return std::nullopt;
	XImage* image = XGetImage(fConnection, window, 0, 0, attributes.width, attributes.height,
		AllPlanes, ZPixmap);
	if (image == nullptr)
		return std::nullopt;

	WindowPixels pixels;
	pixels.width = attributes.width;
	pixels.height = attributes.height;
	pixels.bits.resize(static_cast<size_t>(pixels.width) * pixels.height * 4);
	uint8_t* to = pixels.bits.data();
	for (int y = 0; y < pixels.height; y++) {
		for (int x = 0; x < pixels.width; x++, to += 4) {
			unsigned long pixel = XGetPixel(image, x, y);
			to[0] = static_cast<uint8_t>(pixel & image->blue_mask);
			to[1] = static_cast<uint8_t>((pixel & image->green_mask) >> 8);
			to[2] = static_cast<uint8_t>((pixel & image->red_mask) >> 16);
			to[3] = 0;
		}
	}
	XDestroyImage(image);
	return pixels;
}


void
VirtualDisplay::Close(Window window)
{
	XEvent event{};
	event.xclient.type = ClientMessage;
	event.xclient.window = window;
	event.xclient.message_type = XInternAtom(fConnection, "WM_PROTOCOLS", False);
	event.xclient.format = 32;
	event.xclient.data.l[0] = static_cast<long>(XInternAtom(fConnection, "WM_DELETE_WINDOW",
		False));
	event.xclient.data.l[1] = CurrentTime;
	XSendEvent(fConnection, window, False, NoEventMask, &event);
	XSync(fConnection, False);
}


void
VirtualDisplay::MovePointer(int x, int y)
{
	XWarpPointer(fConnection, None, Root(), 0, 0, 0, 0, x, y);
	XSync(fConnection, False);
}


bool
VirtualDisplay::ResizeScreen(int width, int height)
{
	XRRScreenResources* resources = XRRGetScreenResources(fConnection, Root());
	if (resources == nullptr || resources->ncrtc < 1 || resources->noutput < 1) {
		if (resources != nullptr)
			XRRFreeScreenResources(resources);
		return false;
	}
	RRMode mode = None;
	for (int i = 0; i < resources->nmode; i++) {
		if (resources->modes[i].width == static_cast<unsigned>(width)
			&& resources->modes[i].height == static_cast<unsigned>(height))
			mode = resources->modes[i].id;
	}
	if (mode == None) {
		std::string name = std::to_string(width) + "x" + std::to_string(height);
		XRRModeInfo info{};
		info.width = width;
		info.height = height;
		info.hTotal = width;
		info.vTotal = height;
		info.dotClock = static_cast<unsigned long>(width) * height * 60;
		info.name = name.data();
		info.nameLength = static_cast<unsigned>(name.size());
		mode = XRRCreateMode(fConnection, Root(), &info);
		XRRAddOutputMode(fConnection, resources->outputs[0], mode);
	}
	// The screen cannot be smaller than what a CRTC shows: off, resized, on.
	RRCrtc crtc = resources->crtcs[0];
	XRRSetCrtcConfig(fConnection, resources, crtc, CurrentTime, 0, 0, None, RR_Rotate_0,
		nullptr, 0);
	XRRSetScreenSize(fConnection, Root(), width, height, width * 254 / 96 / 10,
		height * 254 / 96 / 10);
	Status shown = XRRSetCrtcConfig(fConnection, resources, crtc, CurrentTime, 0, 0, mode,
		RR_Rotate_0, resources->outputs, 1);
	XRRFreeScreenResources(resources);
	XSync(fConnection, False);

	XWindowAttributes root;
	return shown == RRSetConfigSuccess && XGetWindowAttributes(fConnection, Root(), &root)
		&& root.width == width && root.height == height;
}


int
VirtualDisplay::TakeForeignErrors()
{
	int errors = sForeignErrors;
	sForeignErrors = 0;
	return errors;
}
