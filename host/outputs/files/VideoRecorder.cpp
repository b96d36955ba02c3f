#include "outputs/files/VideoRecorder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/SystemReason.h"

extern char** environ;


namespace {

// Lines of ffmpeg's standard error shown when it fails.
constexpr int kErrorLines = 5;


struct SpawnPlan {
	int input = -1;		// becomes standard input; -1 for /dev/null
	int output = -1;	// becomes standard output; -1 for /dev/null
	int error = -1;		// becomes standard error; -1 for /dev/null
};


// Starts program with the arguments, in a process group of its own so that
// the terminal's ^C reaches saverhost alone: saverhost decides what becomes
// of the file. Gives the process id, or -1 with errno set.
pid_t
Spawn(const std::string& program, const std::vector<std::string>& arguments,
	const SpawnPlan& plan)
{
	std::vector<char*> argv;
	for (const std::string& argument : arguments)
		argv.push_back(const_cast<char*>(argument.c_str()));
	argv.push_back(nullptr);

	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	const int wanted[3] = {plan.input, plan.output, plan.error};
	for (int fd = 0; fd < 3; fd++) {
		if (wanted[fd] >= 0) {
			posix_spawn_file_actions_adddup2(&actions, wanted[fd], fd);
		} else {
			posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
				fd == 0 ? O_RDONLY : O_WRONLY, 0);
		}
	}

	posix_spawnattr_t attributes;
	posix_spawnattr_init(&attributes);
	sigset_t none;
	sigemptyset(&none);
	sigset_t defaults;
	sigemptyset(&defaults);
	for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
		sigaddset(&defaults, signal);
	posix_spawnattr_setsigmask(&attributes, &none);
	posix_spawnattr_setsigdefault(&attributes, &defaults);
	posix_spawnattr_setpgroup(&attributes, 0);
	posix_spawnattr_setflags(&attributes,
		POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

	pid_t child = -1;
	int error = posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(),
		environ);
	posix_spawnattr_destroy(&attributes);
	posix_spawn_file_actions_destroy(&actions);
	if (error != 0) {
		errno = error;
		return -1;
	}
	return child;
}


int
WaitFor(pid_t child)
{
	int status = 0;
	while (waitpid(child, &status, 0) < 0) {
		if (errno != EINTR)
			return -1;
	}
	return status;
}


std::string
StatusText(int status)
{
	if (WIFEXITED(status))
		return "exit status " + std::to_string(WEXITSTATUS(status));
	if (WIFSIGNALED(status))
		return std::string("killed by ") + strsignal(WTERMSIG(status));
	return "status " + std::to_string(status);
}


// What program writes on standard output, when it exits with status 0.
std::optional<std::string>
Capture(const std::string& program, const std::vector<std::string>& arguments)
{
	int ends[2];
	if (pipe2(ends, O_CLOEXEC) != 0)
		return std::nullopt;
	SpawnPlan plan;
	plan.output = ends[1];
	pid_t child = Spawn(program, arguments, plan);
	close(ends[1]);
	if (child < 0) {
		close(ends[0]);
		return std::nullopt;
	}

	std::string text;
	char buffer[4096];
	for (;;) {
		ssize_t got = read(ends[0], buffer, sizeof(buffer));
		if (got > 0)
			text.append(buffer, static_cast<size_t>(got));
		else if (got == 0 || errno != EINTR)
			break;
	}
	close(ends[0]);
	int status = WaitFor(child);
	if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
		return std::nullopt;
	return text;
}


// The first of the encoders that ffmpeg -encoders lists, or none.
std::optional<std::string>
PickEncoder(const std::string& ffmpeg, const std::vector<std::string>& choices)
{
	std::optional<std::string> listing = Capture(ffmpeg,
		{ffmpeg, "-hide_banner", "-nostdin", "-encoders"});
	if (!listing)
		return std::nullopt;
	for (const std::string& choice : choices) {
		std::istringstream lines(*listing);
		for (std::string line; std::getline(lines, line);) {
			// " V....D libx264              libx264 H.264 ..."
			std::istringstream words(line);
			std::string flags;
			std::string name;
			if (words >> flags >> name && name == choice)
				return choice;
		}
	}
	return std::nullopt;
}


// An unlinked file for a child's standard error, or -1.
int
AnonymousFile()
{
	const char* directory = std::getenv("TMPDIR");
	std::string pattern = std::string(directory != nullptr && *directory != '\0' ? directory
		: "/tmp") + "/saverhost-ffmpeg-XXXXXX";
	std::vector<char> name(pattern.begin(), pattern.end());
	name.push_back('\0');
	int fd = mkostemp(name.data(), O_CLOEXEC);
	if (fd >= 0)
		unlink(name.data());
	return fd;
}


const char*
FormatName(VideoFormat format)
{
	switch (format) {
		case VideoFormat::Mp4:
			return "mp4";
		case VideoFormat::Webm:
			return "webm";
		case VideoFormat::Gif:
			return "gif";
	}
	return "?";
}

}	// namespace


std::optional<std::string>
FindProgram(const std::string& name)
{
	if (name.find('/') != std::string::npos)
		return access(name.c_str(), X_OK) == 0 ? std::optional<std::string>(name) : std::nullopt;

	const char* path = std::getenv("PATH");
	std::string directories = path != nullptr ? path : "/bin:/usr/bin";
	size_t start = 0;
	while (start <= directories.size()) {
		size_t colon = directories.find(':', start);
		if (colon == std::string::npos)
			colon = directories.size();
		std::string directory = directories.substr(start, colon - start);
		std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
		struct stat info;
		if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)
			&& access(candidate.c_str(), X_OK) == 0) {
			return candidate;
		}
		start = colon + 1;
	}
	return std::nullopt;
}


std::string
FrameRate(std::chrono::microseconds period)
{
	int64_t micros = period.count() > 0 ? period.count() : 1;
	if (1'000'000 % micros == 0)
		return std::to_string(1'000'000 / micros);
	return "1000000/" + std::to_string(micros);
}


std::vector<std::string>
FfmpegArguments(VideoFormat format, const std::string& encoder, int32_t width, int32_t height,
	const std::string& rate, const std::string& outputPath)
{
	// bgr0: the B_RGB32 layout with its fourth byte unused, so that no
	// encoder takes it for transparency.
	std::vector<std::string> arguments = {"ffmpeg", "-hide_banner", "-nostdin",
		"-loglevel", "error", "-y",
		"-f", "rawvideo", "-pix_fmt", "bgr0",
		"-s", std::to_string(width) + "x" + std::to_string(height),
		"-r", rate, "-i", "pipe:0"};
	switch (format) {
		case VideoFormat::Mp4:
			// 4:2:0 needs even sides: an odd one gets a black line.
			arguments.insert(arguments.end(), {"-c:v", encoder, "-pix_fmt", "yuv420p",
				"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-movflags", "+faststart",
				"-f", "mp4"});
			break;
		case VideoFormat::Webm:
			arguments.insert(arguments.end(), {"-c:v", encoder, "-pix_fmt", "yuv420p",
				"-b:v", "0", "-crf", "32", "-f", "webm"});
			break;
		case VideoFormat::Gif:
			// A palette of each frame's own colours, made as the frames come,
			// so that no frame waits in memory for the end of the run.
			arguments.insert(arguments.end(), {"-filter_complex",
				"split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1",
				"-f", "gif"});
			break;
	}
	arguments.push_back(outputPath);
	return arguments;
}


Result<std::unique_ptr<VideoRecorder>>
VideoRecorder::Prepare(const std::string& path, VideoFormat format)
{
	std::optional<std::string> ffmpeg = FindProgram("ffmpeg");
	if (!ffmpeg) {
		return Error{"--record needs the ffmpeg program; install it (apt-get install ffmpeg) "
			"or use --png-dir"};
	}

	// The file first: a target that cannot be written is the cheapest
	// refusal.
	Result<AtomicFile> file = AtomicFile::Create(path);
	if (!file)
		return Error{file.Message()};

	std::string encoder = "gif";
	if (format != VideoFormat::Gif) {
		std::vector<std::string> choices = format == VideoFormat::Mp4
			? std::vector<std::string>{"libx264"}
			: std::vector<std::string>{"libvpx-vp9", "libvpx"};
		std::optional<std::string> found = PickEncoder(*ffmpeg, choices);
		if (!found) {
			return Error{"--record " + path + ": " + *ffmpeg + " cannot encode "
				+ FormatName(format) + " (it lists no " + choices.front()
				+ " encoder); try a .gif or --png-dir"};
		}
		encoder = *found;
	}

	int errorLog = AnonymousFile();
	if (errorLog < 0)
		return Error{"cannot make a file for ffmpeg's messages: " + SystemReason(errno)};
	return std::unique_ptr<VideoRecorder>(new VideoRecorder(*ffmpeg, encoder, format,
		std::move(file.Value()), errorLog));
}


VideoRecorder::VideoRecorder(std::string ffmpeg, std::string encoder, VideoFormat format,
	AtomicFile file, int errorLog)
	:
	fFfmpeg(std::move(ffmpeg)),
	fEncoder(std::move(encoder)),
	fFormat(format),
	fFile(std::move(file)),
	fErrorLog(errorLog)
{
}


VideoRecorder::~VideoRecorder()
{
	_Abandon();
	close(fErrorLog);
	// fFile goes last and takes the temporary file with it.
}


void
VideoRecorder::_Abandon()
{
	if (fInput >= 0) {
		close(fInput);
		fInput = -1;
	}
	if (fChild > 0) {
		// Nothing it writes from here on is kept.
		kill(fChild, SIGKILL);
		WaitFor(fChild);
		fChild = -1;
	}
}


Result<void>
VideoRecorder::_Start(int32_t width, int32_t height)
{
	// A socket rather than a pipe: send() with MSG_NOSIGNAL reports an ffmpeg
	// that went away as an error instead of raising SIGPIPE.
	int ends[2];
	if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
		return Error{"cannot start ffmpeg: " + SystemReason(errno)};
	shutdown(ends[0], SHUT_RD);
	shutdown(ends[1], SHUT_WR);

	fRate = FrameRate(fPeriod);
	SpawnPlan plan;
	plan.input = ends[1];
	plan.error = fErrorLog;
	pid_t child = Spawn(fFfmpeg, FfmpegArguments(fFormat, fEncoder, width, height, fRate,
		fFile.TemporaryPath()), plan);
	int error = errno;
	close(ends[1]);
	if (child < 0) {
		close(ends[0]);
		return Error{"cannot start " + fFfmpeg + ": " + SystemReason(error)};
	}
	fChild = child;
	fInput = ends[0];
	fWidth = width;
	fHeight = height;
	return {};
}


Result<void>
VideoRecorder::_Send(const uint8_t* bytes, size_t length)
{
	while (length > 0) {
		ssize_t sent = send(fInput, bytes, length, MSG_NOSIGNAL);
		if (sent < 0) {
			if (errno == EINTR)
				continue;
			// ffmpeg stopped reading: its exit status and messages say why.
			int status = _Wait();
			return _Failed("stopped taking frames (" + StatusText(status) + ")");
		}
		bytes += sent;
		length -= static_cast<size_t>(sent);
	}
	return {};
}


Result<void>
VideoRecorder::AddFrame(const PixelView& frame)
{
	if (fChild < 0) {
		if (fFrames > 0)
			return Error{"cannot write \"" + fFile.Path() + "\": the recording has ended"};
		Result<void> started = _Start(frame.width, frame.height);
		if (!started)
			return started;
	}
	if (frame.width != fWidth || frame.height != fHeight) {
		return Error{"cannot write \"" + fFile.Path() + "\": the frames changed size from "
			+ std::to_string(fWidth) + "x" + std::to_string(fHeight) + " to "
			+ std::to_string(frame.width) + "x" + std::to_string(frame.height)};
	}

	// Rows one by one where the pixels carry padding, else all at once.
	size_t rowBytes = static_cast<size_t>(frame.width) * 4;
	bool packed = frame.bytesPerRow == rowBytes;
	for (int32_t y = 0; y < (packed ? 1 : frame.height); y++) {
		Result<void> sent = _Send(frame.Row(y), packed ? rowBytes * frame.height : rowBytes);
		if (!sent)
			return sent;
	}
	fFrames++;
	return {};
}


int
VideoRecorder::_Wait()
{
	if (fInput >= 0) {
		close(fInput);
		fInput = -1;
	}
	int status = WaitFor(fChild);
	fChild = -1;
	return status;
}


Error
VideoRecorder::_Failed(const std::string& what) const
{
	// ffmpeg has exited: everything it had to say is in the log.
	// The last lines ffmpeg wrote, indented under the message.
	std::string log;
	char buffer[4096];
	off_t offset = 0;
	for (;;) {
		ssize_t got = pread(fErrorLog, buffer, sizeof(buffer), offset);
		if (got <= 0)
			break;
		log.append(buffer, static_cast<size_t>(got));
		offset += got;
		if (log.size() > 64 * 1024)
			log.erase(0, log.size() - 16 * 1024);
	}
	std::vector<std::string> lines;
	std::istringstream stream(log);
	for (std::string line; std::getline(stream, line);) {
		if (!line.empty())
			lines.push_back(line);
	}

	std::string message = "ffmpeg " + what + " while recording \"" + fFile.Path() + "\"";
	size_t first = lines.size() > kErrorLines ? lines.size() - kErrorLines : 0;
	if (first < lines.size())
		message += "; it said:";
	for (size_t i = first; i < lines.size(); i++)
		message += "\n  " + lines[i];
	return Error{message};
}


Result<void>
VideoRecorder::Finish()
{
	if (fChild < 0)
		return Error{"cannot write \"" + fFile.Path() + "\": no frames were recorded"};
	int status = _Wait();
	if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
		return _Failed("failed (" + StatusText(status) + ")");
	return fFile.Commit();
}
