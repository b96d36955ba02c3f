// A file that appears whole or not at all: written under a temporary name in
// its own directory, then renamed over the final name.
#ifndef SAVERHOST_ATOMIC_FILE_H
#define SAVERHOST_ATOMIC_FILE_H

#include <cstdio>
#include <memory>
#include <string>

#include "base/Result.h"

class AtomicFile {
public:
	// Creates the temporary file at once, so that a missing or read-only
	// directory is reported before any work is done.
	static Result<AtomicFile> Create(const std::string& path);

	AtomicFile(AtomicFile&& other) noexcept;
	AtomicFile& operator=(AtomicFile&&) = delete;
	// Removes the temporary file unless Commit() succeeded.
	~AtomicFile();

	const std::string& Path() const { return fPath; }
	// Where the data goes until Commit(), for writers that open the file by
	// name themselves.
	const std::string& TemporaryPath() const { return fTemporaryPath; }
	std::FILE* Stream() const { return fStream.get(); }

	// Flushes the data to disk and renames the file into place.
	Result<void> Commit();

private:
	struct Closer {
		void operator()(std::FILE* stream) const { std::fclose(stream); }
	};

	AtomicFile(std::string path, std::string target, std::string temporaryPath,
		std::FILE* stream);

	std::string _Failure(const std::string& reason) const;

	// As the user gave it, for messages.
	std::string fPath;
	// The file that is replaced: fPath with links resolved.
	std::string fTarget;
	std::string fTemporaryPath;
	std::unique_ptr<std::FILE, Closer> fStream;
	bool fCommitted = false;
};

#endif	// SAVERHOST_ATOMIC_FILE_H
