// The Debian package that `make package` builds: what it holds, what it
// says of itself, what lintian says of it, and that what it holds runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "DesktopSupport.h"

namespace fs = std::filesystem;

namespace {

// DUSTGLOW_DEB, or the one package in the build folder.
std::string
FindPackage()
{
	if (const char* named = std::getenv("DUSTGLOW_DEB"))
		return named;
	std::vector<fs::path> found;
	for (const fs::directory_entry& entry : fs::directory_iterator(DUSTGLOW_BUILD_DIR)) {
		std::string name = entry.path().filename().string();
		if (name.rfind("dustglow_", 0) == 0 && entry.path().extension() == ".deb")
			found.push_back(entry.path());
	}
	return found.size() == 1 ? found.front().string() : "";
}


class PackageTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		DESKTOP_REQUIRE(MissingTools({"dpkg-deb", "lintian"}));
		fPackage = FindPackage();
		DESKTOP_REQUIRE(fPackage.empty() ? "no package in " DUSTGLOW_BUILD_DIR
			" (make package builds it; DUSTGLOW_DEB names another)" : "");
	}

	std::string fPackage;
};

}	// namespace


TEST_F(PackageTest, HoldsDustglowWholeAndSaysWhatItNeeds)
{
	std::string contents;
	ASSERT_EQ(Capture({"dpkg-deb", "--contents", fPackage}, contents), 0) << contents;
	const char* const expected[] = {
		R"( \./usr/bin/saverhost\n)",
		R"( \./usr/bin/dustglow -> saverhost\n)",
		R"( \./usr/lib/[^ ]*dustglow/add-ons/Dustglow\n)",
		R"( \./usr/lib/[^ ]*dustglow/libbe\.so\n)",
		R"( \./usr/lib/[^ ]*dustglow/libscreensaver\.so\n)",
		R"( \./usr/libexec/xscreensaver/dustglow -> \.\./\.\./bin/saverhost\n)",
		R"( \./usr/share/man/man1/saverhost\.1\.gz\n)",
		R"( \./usr/share/man/man6/dustglow\.6\.gz\n)",
		R"( \./usr/share/xscreensaver/config/dustglow\.xml\n)",
		R"( \./usr/share/applications/screensavers/dustglow\.desktop\n)",
		R"( \./usr/share/doc/dustglow/copyright\n)",
		R"( \./usr/share/doc/dustglow/changelog\.gz\n)",
	};
	for (const char* path : expected)
		EXPECT_TRUE(std::regex_search(contents, std::regex(path))) << path << "\n" << contents;

	std::string fields;
	ASSERT_EQ(Capture({"dpkg-deb", "--field", fPackage, "Package", "Version", "Depends"},
		fields), 0) << fields;
	std::string version;
	ASSERT_EQ(Capture({SAVERHOST_PATH, "--version"}, version), 0);
	EXPECT_NE(fields.find("Package: dustglow\n"), std::string::npos) << fields;
	EXPECT_NE(fields.find("Version: " + version.substr(version.find(' ') + 1)),
		std::string::npos) << fields << version;
	for (const char* needed : {"libc6", "libsdl2-2.0-0", "libsdl2-ttf-2.0-0", "libpng16-16",
			"fonts-dejavu-core"})
		EXPECT_NE(fields.find(needed), std::string::npos) << needed << "\n" << fields;

	std::string lintian;
	int status = Capture({"lintian", "--fail-on", "error", fPackage}, lintian);
	EXPECT_EQ(status, 0) << lintian;
	EXPECT_FALSE(std::regex_search(lintian, std::regex("(^|\n)E: "))) << lintian;
}


// Unpacked anywhere, the packaged (stripped, optimised) dustglow shows the
// build's frames; the desktop entry names it where the package puts it.
TEST_F(PackageTest, RunsFromWhereItUnpacks)
{
	ScratchFolder unpacked("package");
	std::string output;
	ASSERT_EQ(Capture({"dpkg-deb", "--extract", fPackage, unpacked.Path().string()}, output), 0)
		<< output;

	const std::vector<std::string> pinned = {"--size", "200x150", "--frames", "100", "--clock",
		"1000000", "--digest"};
	std::vector<std::string> packaged = {(unpacked / "usr/libexec/xscreensaver/dustglow")
		.string()};
	std::vector<std::string> built = {SAVERHOST_PATH};
	packaged.insert(packaged.end(), pinned.begin(), pinned.end());
	built.insert(built.end(), pinned.begin(), pinned.end());
	std::string packagedFrames;
	std::string builtFrames;
	EXPECT_EQ(Capture(packaged, packagedFrames), 0) << packagedFrames;
	EXPECT_EQ(Capture(built, builtFrames), 0) << builtFrames;
	EXPECT_EQ(packagedFrames, builtFrames);

	std::string entry = ReadFile(unpacked / "usr/share/applications/screensavers/dustglow.desktop");
	EXPECT_NE(entry.find("\nExec=/usr/libexec/xscreensaver/dustglow --root\n"),
		std::string::npos) << entry;
	std::string settings = ReadFile(unpacked / "usr/share/xscreensaver/config/dustglow.xml");
	EXPECT_NE(settings.find("<screensaver name=\"dustglow\" _label=\"Dustglow\">"),
		std::string::npos) << settings;
	EXPECT_NE(settings.find("<command arg=\"--root\"/>"), std::string::npos) << settings;
	EXPECT_NE(settings.find("arg-set=\"--fps\""), std::string::npos) << settings;
}
