#include "outputs/files/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/SystemReason.h"


namespace {

// The permissions a newly created file gets: mkstemp() makes it private to
// its owner, but a snapshot is an ordinary file.
mode_t
OrdinaryFileMode()
{
	mode_t mask = umask(0);
	umask(mask);
	return 0666 & ~mask;
}

}	// namespace


AtomicFile::AtomicFile(std::string path, std::string target, std::string temporaryPath,
	std::FILE* stream)
	:
	fPath(std::move(path)),
	fTarget(std::move(target)),
	fTemporaryPath(std::move(temporaryPath)),
	fStream(stream)
{
}


AtomicFile::AtomicFile(AtomicFile&& other) noexcept
	:
	fPath(std::move(other.fPath)),
	fTarget(std::move(other.fTarget)),
	fTemporaryPath(std::move(other.fTemporaryPath)),
	fStream(std::move(other.fStream)),
	fCommitted(other.fCommitted)
{
	other.fTemporaryPath.clear();
	other.fCommitted = true;
}


AtomicFile::~AtomicFile()
{
	if (fCommitted)
		return;
	fStream.reset();
	if (!fTemporaryPath.empty())
		unlink(fTemporaryPath.c_str());
}


std::string
AtomicFile::_Failure(const std::string& reason) const
{
	return "cannot write \"" + fPath + "\": " + reason;
}


Result<AtomicFile>
AtomicFile::Create(const std::string& path)
{
	auto failure = [&path](const std::string& reason) {
		return Error{"cannot write \"" + path + "\": " + reason};
	};

	if (path.empty() || path.back() == '/')
		return failure("that names a directory, not a file");

	// An existing file is replaced; anything else there (a directory, a
	// device, a pipe) is left alone. A link to a file is followed, so that
	// the file changes and the link stays.
	std::string target = path;
	struct stat info;
	if (stat(path.c_str(), &info) == 0) {
		if (S_ISDIR(info.st_mode))
			return failure("it is a directory");
		if (!S_ISREG(info.st_mode))
			return failure("it is not a regular file");
		std::error_code error;
		std::filesystem::path resolved = std::filesystem::canonical(path, error);
		if (error)
			return failure(SystemReason(error.value()));
		target = resolved.string();
	}

	size_t slash = target.rfind('/');
	std::string directory = slash == std::string::npos ? "."
		: slash == 0 ? "/" : target.substr(0, slash);
	std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
	std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

	if (stat(directory.c_str(), &info) != 0) {
		if (errno == ENOENT || errno == ENOTDIR)
			return failure("no such directory \"" + directory + "\"");
		return failure(SystemReason(errno));
	}
	if (!S_ISDIR(info.st_mode))
		return failure("\"" + directory + "\" is not a directory");

	// Hidden, and named after the file, so that one left behind by a crash
	// says what it was.
	std::string pattern = prefix + "." + name + ".XXXXXX";
	std::vector<char> temporary(pattern.begin(), pattern.end());
	temporary.push_back('\0');
	int fd = mkstemp(temporary.data());
	if (fd < 0)
		return failure(SystemReason(errno));
	std::string temporaryPath(temporary.data());

	std::FILE* stream = fdopen(fd, "wb");
	if (stream == nullptr || fchmod(fd, OrdinaryFileMode()) != 0) {
		int error = errno;
		if (stream != nullptr)
			std::fclose(stream);
		else
			close(fd);
		unlink(temporaryPath.c_str());
		return failure(SystemReason(error));
	}
	return AtomicFile(path, target, temporaryPath, stream);
}


Result<void>
AtomicFile::Commit()
{
	if (fCommitted || !fStream)
		return Error{_Failure("already written")};

	errno = 0;
	if (std::fflush(fStream.get()) != 0 || std::ferror(fStream.get()))
		return Error{_Failure(errno != 0 ? SystemReason(errno) : "write error")};
	if (fsync(fileno(fStream.get())) != 0)
		return Error{_Failure(SystemReason(errno))};
	if (std::fclose(fStream.release()) != 0)
		return Error{_Failure(SystemReason(errno))};
	if (std::rename(fTemporaryPath.c_str(), fTarget.c_str()) != 0)
		return Error{_Failure(SystemReason(errno))};

	fCommitted = true;
	return {};
}
