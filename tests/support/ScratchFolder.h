// A folder of a test's own below TMPDIR (or /tmp), that other users may read
// and enter (the desktop tests' unprivileged user among them); removed with
// everything in it when it goes. Its path is empty when it could not be made.
#ifndef TESTS_SCRATCH_FOLDER_H
#define TESTS_SCRATCH_FOLDER_H

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchFolder {
public:
	explicit ScratchFolder(const std::string& name)
	{
		const char* top = std::getenv("TMPDIR");
		std::string pattern = (std::filesystem::path(top != nullptr ? top : "/tmp")
			/ ("dustglow-" + name + "-XXXXXX")).string();
		if (mkdtemp(pattern.data()) != nullptr) {
			fPath = pattern;
			chmod(fPath.c_str(), 0755);
		}
	}

	~ScratchFolder()
	{
		std::error_code error;
		if (!fPath.empty())
			std::filesystem::remove_all(fPath, error);
	}

	ScratchFolder(const ScratchFolder&) = delete;
	ScratchFolder& operator=(const ScratchFolder&) = delete;

	const std::filesystem::path& Path() const { return fPath; }
	std::filesystem::path operator/(const std::string& name) const { return fPath / name; }

private:
	std::filesystem::path fPath;
};

#endif	// TESTS_SCRATCH_FOLDER_H
