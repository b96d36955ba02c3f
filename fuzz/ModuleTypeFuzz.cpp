// The module type note reader on any bytes at all: it must neither read
// outside the file nor take a type from a note that does not hold one.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <ModuleTypeNote.h>

#include "module/ModuleType.h"


extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	std::string_view image(reinterpret_cast<const char*>(data), size);
	ModuleType type = ReadModuleType(image);

	bool sound = true;
	switch (type.status) {
		case ModuleType::Status::Typed:
			// A type is printable, of a length a note may hold, and is in the
			// file as it was read.
			sound = !type.type.empty() && type.type.size() <= MODULE_TYPE_MAX_LENGTH
				&& image.find(std::string(type.type) + '\0') != std::string_view::npos;
			for (char c : type.type)
				sound = sound && c > 0x20 && c < 0x7f;
			break;
		case ModuleType::Status::Untyped:
			sound = type.type.empty() && type.problem.empty();
			break;
		case ModuleType::Status::Damaged:
			sound = !type.problem.empty();
			break;
	}
	if (!sound) {
		std::fprintf(stderr, "unsound result: status %d, type \"%s\", problem \"%s\"\n",
			static_cast<int>(type.status), type.type.c_str(), type.problem.c_str());
		std::abort();
	}
	return 0;
}
