#include "outputs/terminal/TerminalSession.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "base/SystemReason.h"


namespace {

const char kEnter[] = "\x1b[?1049h\x1b[?25l";
const char kLeave[] = "\x1b[0m\x1b[?25h\x1b[?1049l";

// Where the terminal is, for the signal handlers: only what they may touch.
struct State {
	volatile std::sig_atomic_t begun = 0;	// a session exists
	volatile std::sig_atomic_t applied = 0;	// its modes are on the terminal
	volatile std::sig_atomic_t resized = 0;
	volatile std::sig_atomic_t continued = 0;
	volatile std::sig_atomic_t signals = 0;
	int outputFd = -1;
	int inputFd = -1;
	bool hasModes = false;
	struct termios saved = {};
	struct termios keys = {};
	int wakeRead = -1;
	int wakeWrite = -1;
	char leave[64] = {};
	size_t leaveSize = 0;
};

State sState;


// Both below run in signal handlers: only async-signal-safe calls.
void
ApplyModes()
{
	if (sState.hasModes)
		tcsetattr(sState.inputFd, TCSANOW, &sState.keys);
	WriteFully(sState.outputFd, kEnter, sizeof(kEnter) - 1);
	sState.applied = 1;
}


void
RestoreModes()
{
	if (!sState.applied)
		return;
	sState.applied = 0;
	WriteFully(sState.outputFd, sState.leave, sState.leaveSize);
	WriteFully(sState.outputFd, kLeave, sizeof(kLeave) - 1);
	if (sState.hasModes)
		tcsetattr(sState.inputFd, TCSANOW, &sState.saved);
}


void
Wake()
{
	sState.signals = sState.signals + 1;
	if (sState.wakeWrite >= 0) {
		char byte = 0;
		ssize_t ignored = write(sState.wakeWrite, &byte, 1);
		(void)ignored;
	}
}


void
OnResize(int)
{
	int saved = errno;
	sState.resized = 1;
	Wake();
	errno = saved;
}


void
OnContinue(int)
{
	int saved = errno;
	if (sState.begun) {
		ApplyModes();
		// The size may have changed while the process was stopped.
		sState.resized = 1;
		sState.continued = 1;
		Wake();
	}
	errno = saved;
}


void
OnStop(int)
{
	int saved = errno;
	RestoreModes();
	// Stops here; SIGCONT puts the modes back.
	kill(getpid(), SIGSTOP);
	errno = saved;
}


// The signal would end the process: the terminal first, then the signal's
// own action, so that the process ends as the signal says.
void
OnFatal(int signal)
{
	RestoreModes();
	struct sigaction action = {};
	action.sa_handler = SIG_DFL;
	sigemptyset(&action.sa_mask);
	sigaction(signal, &action, nullptr);
	raise(signal);
}


void
RestoreAtExit()
{
	RestoreModes();
}


struct Handled {
	int signal;
	void (*handler)(int);
	// Only where nobody else catches or ignores it.
	bool onlyIfDefault;
	int flags;
};

const Handled kHandled[] = {
	{SIGWINCH, OnResize, false, SA_RESTART},
	{SIGCONT, OnContinue, false, SA_RESTART},
	{SIGTSTP, OnStop, true, SA_RESTART},
	{SIGINT, OnFatal, true, 0},
	{SIGTERM, OnFatal, true, 0},
	{SIGHUP, OnFatal, true, 0},
	{SIGQUIT, OnFatal, true, 0},
	{SIGSEGV, OnFatal, true, 0},
	{SIGBUS, OnFatal, true, 0},
	{SIGFPE, OnFatal, true, 0},
	{SIGILL, OnFatal, true, 0},
	{SIGABRT, OnFatal, true, 0},
};
constexpr size_t kHandledCount = sizeof(kHandled) / sizeof(kHandled[0]);

struct sigaction sPrevious[kHandledCount];
bool sInstalled[kHandledCount];


void
InstallHandlers()
{
	for (size_t i = 0; i < kHandledCount; i++) {
		sInstalled[i] = false;
		if (sigaction(kHandled[i].signal, nullptr, &sPrevious[i]) != 0)
			continue;
		if (kHandled[i].onlyIfDefault && ((sPrevious[i].sa_flags & SA_SIGINFO) != 0
				|| sPrevious[i].sa_handler != SIG_DFL)) {
			continue;
		}
		struct sigaction action = {};
		action.sa_handler = kHandled[i].handler;
		action.sa_flags = kHandled[i].flags;
		sigemptyset(&action.sa_mask);
		// Resizes wait while the terminal is being put back or taken.
		sigaddset(&action.sa_mask, SIGWINCH);
		sInstalled[i] = sigaction(kHandled[i].signal, &action, nullptr) == 0;
	}
}


void
RemoveHandlers()
{
	for (size_t i = 0; i < kHandledCount; i++) {
		if (!sInstalled[i])
			continue;
		// Put back what was there only while ours is still in place: a
		// handler installed after ours puts ours back itself.
		struct sigaction current = {};
		if (sigaction(kHandled[i].signal, nullptr, &current) == 0
				&& (current.sa_flags & SA_SIGINFO) == 0
				&& current.sa_handler == kHandled[i].handler) {
			sigaction(kHandled[i].signal, &sPrevious[i], nullptr);
		}
		sInstalled[i] = false;
	}
}


// Signals the handlers above react to, held off while the state they read
// changes.
class SignalBlock {
public:
	SignalBlock()
	{
		sigset_t blocked;
		sigemptyset(&blocked);
		for (const Handled& handled : kHandled)
			sigaddset(&blocked, handled.signal);
		// The crash signals cannot wait; they are not raised here anyway.
		for (int crash : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
			sigdelset(&blocked, crash);
		sigprocmask(SIG_BLOCK, &blocked, &fPrevious);
	}
	~SignalBlock() { sigprocmask(SIG_SETMASK, &fPrevious, nullptr); }

private:
	sigset_t fPrevious;
};

}	// namespace


int
WriteFully(int fd, const char* data, size_t size)
{
	while (size > 0) {
		ssize_t written = write(fd, data, size);
		if (written > 0) {
			data += written;
			size -= static_cast<size_t>(written);
			continue;
		}
		if (written < 0 && errno == EINTR)
			continue;
		if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
			struct pollfd ready = {fd, POLLOUT, 0};
			poll(&ready, 1, -1);
			continue;
		}
		return written < 0 ? errno : EIO;
	}
	return 0;
}


Result<std::unique_ptr<TerminalSession>>
TerminalSession::Begin(int outputFd, int inputFd)
{
	if (sState.begun)
		return Error{"the terminal is already in use"};

	int wake[2];
	if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
		return Error{"cannot set up the terminal: " + SystemReason(errno)};

	struct termios saved = {};
	bool hasModes = inputFd >= 0 && tcgetattr(inputFd, &saved) == 0;
	struct termios keys = saved;
	if (hasModes) {
		// Keys as they are typed, not echoed; Ctrl-S and Ctrl-Q are keys
		// too, so the output never stalls. Ctrl-C and Ctrl-Z keep their
		// signals. Reads never wait: poll() does the waiting.
		keys.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN);
		keys.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR);
		keys.c_cc[VMIN] = 0;
		keys.c_cc[VTIME] = 0;
	}

	static bool sAtExit = false;
	if (!sAtExit)
		sAtExit = std::atexit(RestoreAtExit) == 0;

	{
		SignalBlock block;
		sState.outputFd = outputFd;
		sState.inputFd = inputFd;
		sState.hasModes = hasModes;
		sState.saved = saved;
		sState.keys = keys;
		sState.wakeRead = wake[0];
		sState.wakeWrite = wake[1];
		sState.resized = 0;
		sState.continued = 0;
		sState.leaveSize = 0;
		sState.begun = 1;
		InstallHandlers();
		ApplyModes();
	}
	return Result<std::unique_ptr<TerminalSession>>(
		std::unique_ptr<TerminalSession>(new TerminalSession()));
}


TerminalSession::~TerminalSession()
{
	{
		SignalBlock block;
		RemoveHandlers();
		if (sState.applied) {
			sState.applied = 0;
			WriteFully(sState.outputFd, sState.leave, sState.leaveSize);
			WriteFully(sState.outputFd, kLeave, sizeof(kLeave) - 1);
			// After what was written has reached the terminal, and with
			// keys typed meanwhile kept for the shell.
			if (sState.hasModes)
				tcsetattr(sState.inputFd, TCSADRAIN, &sState.saved);
		}
		sState.begun = 0;
		close(sState.wakeRead);
		close(sState.wakeWrite);
		sState.wakeRead = sState.wakeWrite = -1;
	}
}


Size
TerminalSession::Measure() const
{
	struct winsize size = {};
	if (ioctl(sState.outputFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0)
		return Size{size.ws_col, size.ws_row};
	// A terminal that does not know its size: the classic one.
	return Size{80, 24};
}


Size
TerminalSession::MeasurePixels() const
{
	struct winsize size = {};
	if (ioctl(sState.outputFd, TIOCGWINSZ, &size) == 0 && size.ws_xpixel > 0
			&& size.ws_ypixel > 0)
		return Size{size.ws_xpixel, size.ws_ypixel};
	return Size{};
}


void
TerminalSession::SetLeave(const char* bytes)
{
	SignalBlock block;
	sState.leaveSize = std::min(std::strlen(bytes), sizeof(sState.leave) - 1);
	std::memcpy(sState.leave, bytes, sState.leaveSize);
}


int
TerminalSession::WakeFd() const
{
	return sState.wakeRead;
}


unsigned long
TerminalSession::Signals() const
{
	return static_cast<unsigned long>(sState.signals);
}


void
TerminalSession::DrainWake()
{
	char bytes[64];
	while (read(sState.wakeRead, bytes, sizeof(bytes)) > 0) {
	}
}


TerminalSession::Changes
TerminalSession::TakeChanges()
{
	DrainWake();
	SignalBlock block;
	Changes changes;
	changes.resized = sState.resized != 0;
	changes.continued = sState.continued != 0;
	sState.resized = 0;
	sState.continued = 0;
	return changes;
}
