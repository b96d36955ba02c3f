// The module type an add-on file carries in its ELF note (platform/host/
// ModuleTypeNote.h), read before the file is loaded. The file is untrusted:
// every offset and size in it is checked against the file before use, for
// 32- and 64-bit ELF files of either byte order.
#ifndef SAVERHOST_MODULE_TYPE_H
#define SAVERHOST_MODULE_TYPE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct ModuleType {
	enum class Status {
		// type holds the MIME type the file carries.
		Typed,
		// The file is a sound ELF file without a module type note.
		Untyped,
		// problem says what is wrong: headers outside the file, a note cut
		// short, a type that is no string, two different types.
		Damaged
	};

	Status status = Status::Untyped;
	std::string type;
	std::string problem;
};

// Reads size bytes at offset into out; false when they cannot all be read.
using ByteReader = std::function<bool(uint64_t offset, size_t size, void* out)>;

// The module type of an ELF file of fileSize bytes that read gives access to.
ModuleType ReadModuleType(uint64_t fileSize, const ByteReader& read);
// The same for a file image in memory.
ModuleType ReadModuleType(std::string_view image);
// The same for the open file descriptor fd; problem tells why it could not
// be read.
ModuleType ReadModuleTypeOfFile(int fd);

#endif	// SAVERHOST_MODULE_TYPE_H
