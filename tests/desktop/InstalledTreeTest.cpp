// The build installed into a folder and moved elsewhere: saverhost and the
// dustglow command run from there, on the kits and the add-on installed
// beside them, and show the build's frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "DesktopSupport.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kPinned = {"--size", "320x240", "--frames", "200", "--clock",
	"1000000", "--digest"};


std::string
Digests(const fs::path& program, int& status)
{
	std::vector<std::string> arguments = {program.string()};
	arguments.insert(arguments.end(), kPinned.begin(), kPinned.end());
	std::string output;
	status = Capture(arguments, output);
	return output;
}

}	// namespace


TEST(InstalledTree, RunsMovedAndShowsTheBuildsFrames)
{
	std::string error;
	const InstalledTree& tree = Installed(error);
	ASSERT_TRUE(error.empty()) << error;

	int status = -1;
	std::string built = Digests(SAVERHOST_PATH, status);
	ASSERT_EQ(status, 0) << built;
	ASSERT_NE(built.find("frame 200 "), std::string::npos) << built;
	// dustglow on the PATH, and where the daemons look for it.
	const fs::path typed = tree.prefix / "bin" / "dustglow";
	for (const fs::path& program : {tree.saverhost, tree.dustglow, typed}) {
		std::string installed = Digests(program, status);
		EXPECT_EQ(status, 0) << program << ": " << installed;
		EXPECT_EQ(installed, built) << program;
	}
	EXPECT_TRUE(fs::is_symlink(tree.dustglow));
	EXPECT_TRUE(fs::is_symlink(typed));
}


// The installed binaries find the kits relative to themselves, never in the
// build: every search path they carry starts at $ORIGIN.
TEST(InstalledTree, FindsItsLibrariesRelativeToItself)
{
	std::string error;
	const InstalledTree& tree = Installed(error);
	ASSERT_TRUE(error.empty()) << error;

	int binaries = 0;
	for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree.prefix)) {
		if (entry.is_symlink() || !entry.is_regular_file()
			|| ReadFile(entry.path()).compare(0, 4, "\x7f" "ELF") != 0)
			continue;
		binaries++;
		std::string dynamic;
		ASSERT_EQ(Capture({"readelf", "-d", entry.path().string()}, dynamic), 0) << dynamic;
		for (const char* kind : {"(RPATH)", "(RUNPATH)"}) {
			size_t line = dynamic.find(kind);
			if (line == std::string::npos)
				continue;
			std::string paths = dynamic.substr(dynamic.find('[', line) + 1);
			paths = paths.substr(0, paths.find(']'));
			EXPECT_EQ(paths.rfind("$ORIGIN", 0), 0u) << entry.path() << ": " << paths;
			EXPECT_EQ(paths.find(':'), std::string::npos) << entry.path() << ": " << paths;
		}
	}
	// saverhost, the add-on, libbe and libscreensaver.
	EXPECT_EQ(binaries, 4);
}
