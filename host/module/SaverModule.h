// A screen-saver add-on loaded into the host: the open handle and the entry
// points the host looks up by name.
#ifndef SAVERHOST_SAVER_MODULE_H
#define SAVERHOST_SAVER_MODULE_H

#include <memory>
#include <optional>
#include <string>

#include <ScreenSaver.h>

#include "base/Result.h"

class SaverModule {
public:
	// Loads the add-on at path. The error names the file and says why it is
	// not usable: missing, unreadable, not a shared object, not typed as a
	// screen-saver module, or no factory.
	static Result<SaverModule> Load(const std::string& path);

	const std::string& Path() const { return fPath; }
	image_id Image() const { return fImage; }
	// The add-on's saverVersionID, when it exports one.
	std::optional<int32> VersionID() const { return fVersionID; }

	// A new saver from the add-on's factory. The archive must outlive it, and
	// the saver, like every view that may hold objects of the add-on's
	// classes, must be gone before the module is: their code lives in it.
	Result<std::unique_ptr<BScreenSaver>> Instantiate(BMessage* archive) const;

private:
	using Factory = BScreenSaver* (*)(BMessage*, image_id);

	struct Closer {
		void operator()(void* handle) const;
	};

	SaverModule(std::string path, std::unique_ptr<void, Closer> handle, Factory factory,
		std::optional<int32> versionID);

	std::string fPath;
	std::unique_ptr<void, Closer> fHandle;
	Factory fFactory;
	std::optional<int32> fVersionID;
	image_id fImage;
};

// The Dustglow add-on: the one this build made, ../add-ons/Dustglow from
// saverhost's directory, or else the one installed with saverhost.
Result<std::string> DefaultModulePath();

#endif	// SAVERHOST_SAVER_MODULE_H
