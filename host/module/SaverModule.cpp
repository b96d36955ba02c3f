#include "module/SaverModule.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <ModuleTypeNote.h>

#include "base/SystemReason.h"
#include "module/ModuleType.h"


namespace {

// Image ids handed to the add-ons' factories: small, positive, never reused.
image_id sNextImage = 1;


// An open file descriptor, closed when it goes.
class FileDescriptor {
public:
	explicit FileDescriptor(int fd) : fFD(fd) {}
	~FileDescriptor()
	{
		if (fFD >= 0)
			close(fFD);
	}
	FileDescriptor(const FileDescriptor&) = delete;
	FileDescriptor& operator=(const FileDescriptor&) = delete;

	int Get() const { return fFD; }
	explicit operator bool() const { return fFD >= 0; }

private:
	int fFD;
};


std::string
CannotLoad(const std::string& path, const std::string& reason)
{
	return "cannot load \"" + path + "\": " + reason;
}


// Why the file at path cannot be an add-on, found before dlopen() so that the
// common cases get a plain reason rather than the dynamic linker's.
std::optional<std::string>
Unloadable(const std::string& path)
{
	struct stat info;
	if (stat(path.c_str(), &info) != 0) {
		if (errno == ENOENT || errno == ENOTDIR)
			return "no such file";
		return SystemReason(errno);
	}
	if (S_ISDIR(info.st_mode))
		return "it is a directory, not an add-on";
	if (!S_ISREG(info.st_mode))
		return "not a regular file";

	FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
	if (!file)
		return "not readable (" + SystemReason(errno) + ")";

	unsigned char header[EI_NIDENT + 2];
	size_t got = 0;
	while (got < sizeof(header)) {
		ssize_t count = read(file.Get(), header + got, sizeof(header) - got);
		if (count < 0 && errno == EINTR)
			continue;
		if (count < 0)
			return "not readable (" + SystemReason(errno) + ")";
		if (count == 0)
			break;
		got += static_cast<size_t>(count);
	}
	if (got < sizeof(header) || std::memcmp(header, ELFMAG, SELFMAG) != 0)
		return "not a shared object (it has no ELF header)";

	// e_type follows the identification bytes, in the file's byte order.
	unsigned type = header[EI_DATA] == ELFDATA2MSB
		? (header[EI_NIDENT] << 8) | header[EI_NIDENT + 1]
		: header[EI_NIDENT] | (header[EI_NIDENT + 1] << 8);
	if (type == ET_EXEC)
		return "not a shared object (it is an executable)";
	if (type != ET_DYN)
		return "not a shared object";
	return std::nullopt;
}


// Why the file, an ELF shared object, is not typed as a screen-saver module:
// the host loads no code that does not say what it is.
std::optional<std::string>
NotAScreenSaver(const std::string& path)
{
	FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
	ModuleType type = file ? ReadModuleTypeOfFile(file.Get()) : ModuleType{
		ModuleType::Status::Damaged, "", "it cannot be read (" + SystemReason(errno) + ")"};

	std::string reason;
	std::string wayOut = "its build types it with attach_module_type(), see docs/module-type.md";
	switch (type.status) {
		case ModuleType::Status::Typed:
			if (type.type == SCREEN_SAVER_MODULE_TYPE)
				return std::nullopt;
			reason = "it is typed \"" + type.type + "\", not " SCREEN_SAVER_MODULE_TYPE;
			break;
		case ModuleType::Status::Untyped:
			reason = "it carries no module type";
			break;
		case ModuleType::Status::Damaged:
			reason = type.problem;
			wayOut = "rebuild it";
			break;
	}
	return "\"" + path + "\" is not a screen-saver module (" + reason + "); " + wayOut;
}


// The dynamic linker's last error without the file name it often starts with.
std::string
LinkerReason(const std::string& loadedAs)
{
	const char* error = dlerror();
	if (error == nullptr)
		return "the dynamic linker gave no reason";
	std::string reason = error;
	std::string prefix = loadedAs + ": ";
	if (reason.compare(0, prefix.size(), prefix) == 0)
		reason.erase(0, prefix.size());
	return reason;
}

}	// namespace


void
SaverModule::Closer::operator()(void* handle) const
{
	dlclose(handle);
}


SaverModule::SaverModule(std::string path, std::unique_ptr<void, Closer> handle,
	Factory factory, std::optional<int32> versionID)
	:
	fPath(std::move(path)),
	fHandle(std::move(handle)),
	fFactory(factory),
	fVersionID(versionID),
	fImage(sNextImage++)
{
}


Result<SaverModule>
SaverModule::Load(const std::string& path)
{
	if (std::optional<std::string> reason = Unloadable(path))
		return Error{CannotLoad(path, *reason)};
	if (std::optional<std::string> reason = NotAScreenSaver(path))
		return Error{*reason};

	// A name without a slash would send dlopen() searching the library path;
	// the user means the file in the current directory.
	std::string loadAs = path.find('/') == std::string::npos ? "./" + path : path;

	// Every symbol is resolved now, so that a missing one fails the load
	// instead of killing the host in the middle of a run.
	std::unique_ptr<void, Closer> handle(dlopen(loadAs.c_str(), RTLD_NOW | RTLD_LOCAL));
	if (!handle)
		return Error{CannotLoad(path, LinkerReason(loadAs))};

	dlerror();
	void* factory = dlsym(handle.get(), "instantiate_screen_saver");
	if (factory == nullptr) {
		return Error{CannotLoad(path,
			"it has no instantiate_screen_saver (is it a screen-saver add-on?)")};
	}

	std::optional<int32> versionID;
	if (void* version = dlsym(handle.get(), "saverVersionID"))
		versionID = *static_cast<const int32*>(version);

	return SaverModule(path, std::move(handle), reinterpret_cast<Factory>(factory),
		versionID);
}


Result<std::unique_ptr<BScreenSaver>>
SaverModule::Instantiate(BMessage* archive) const
{
	std::unique_ptr<BScreenSaver> saver(fFactory(archive, fImage));
	if (!saver)
		return Error{"\"" + fPath + "\": instantiate_screen_saver returned no saver"};
	return Result<std::unique_ptr<BScreenSaver>>(std::move(saver));
}


Result<std::string>
DefaultModulePath()
{
	std::error_code error;
	std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
	if (error) {
		return Error{"cannot find the default add-on: saverhost's own path is unknown ("
			+ SystemReason(error.value()) + "); give the add-on's path"};
	}
	// Beside saverhost in the build, or where the installation put it; both
	// relative to saverhost, so that a tree moved elsewhere still works.
	std::filesystem::path directory = executable.parent_path();
	std::filesystem::path built = (directory / ".." / "add-ons" / "Dustglow").lexically_normal();
	std::filesystem::path installed = (directory / DUSTGLOW_INSTALLED_ADDON).lexically_normal();
	for (const std::filesystem::path& path : {built, installed}) {
		if (std::filesystem::exists(path, error))
			return path.string();
	}
	return Error{"cannot find the Dustglow add-on: neither " + built.string() + " nor "
		+ installed.string() + " is there; give the add-on's path"};
}
