#include "module/ModuleType.h"

#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <type_traits>
#include <vector>

#include <ModuleTypeNote.h>

#include "base/SystemReason.h"


namespace {

// No add-on has a program header table or a note segment anywhere near these
// sizes; a file that claims more is damaged, and is not read at length.
constexpr uint64_t kMaxProgramHeaderBytes = 64 * 1024;
constexpr uint64_t kMaxNoteSegmentBytes = 1024 * 1024;

// Every note starts with its owner's size, its descriptor's size and its type.
constexpr uint64_t kNoteHeaderBytes = 3 * sizeof(uint32_t);


struct Elf32 {
	using Ehdr = Elf32_Ehdr;
	using Phdr = Elf32_Phdr;
	using Shdr = Elf32_Shdr;
};

struct Elf64 {
	using Ehdr = Elf64_Ehdr;
	using Phdr = Elf64_Phdr;
	using Shdr = Elf64_Shdr;
};


template<typename T>
T
ByteSwapped(T value)
{
	static_assert(std::is_unsigned_v<T>);
	T result = 0;
	for (size_t i = 0; i < sizeof(T); i++) {
		result = static_cast<T>((result << 8) | (value & 0xff));
		value = static_cast<T>(value >> 8);
	}
	return result;
}


uint64_t
AlignUp(uint64_t value, uint64_t alignment)
{
	return (value + alignment - 1) / alignment * alignment;
}


ModuleType
Damaged(std::string problem)
{
	ModuleType result;
	result.status = ModuleType::Status::Damaged;
	result.problem = std::move(problem);
	return result;
}


// The file's bytes, read only where they exist, and its integers in its own
// byte order.
class ElfFile {
public:
	ElfFile(uint64_t size, const ByteReader& read, bool swapped)
		:
		fSize(size),
		fRead(read),
		fSwapped(swapped)
	{
	}

	bool Read(uint64_t offset, uint64_t size, void* out) const
	{
		if (offset > fSize || size > fSize - offset)
			return false;
		return size == 0 || fRead(offset, static_cast<size_t>(size), out);
	}

	template<typename T>
	T Fix(T value) const
	{
		return fSwapped ? ByteSwapped(value) : value;
	}

private:
	uint64_t fSize;
	const ByteReader& fRead;
	bool fSwapped;
};


// The descriptor of a module type note: printable ASCII ended by one NUL.
bool
ValidType(const unsigned char* descriptor, uint64_t size)
{
	if (size < 2 || size > MODULE_TYPE_MAX_LENGTH + 1 || descriptor[size - 1] != '\0')
		return false;
	for (uint64_t i = 0; i + 1 < size; i++) {
		if (descriptor[i] < 0x21 || descriptor[i] > 0x7e)
			return false;
	}
	return true;
}


// Walks the notes of one segment and records a module type note in found;
// the problem when the segment is not a sound run of notes.
std::string
ScanNotes(const std::vector<unsigned char>& notes, uint64_t alignment, const ElfFile& file,
	ModuleType& found)
{
	static const char kOwner[] = MODULE_TYPE_NOTE_OWNER;

	const uint64_t size = notes.size();
	uint64_t position = 0;
	while (position < size) {
		if (size - position < kNoteHeaderBytes)
			return "a note is cut short";
		uint32_t header[3];
		std::memcpy(header, notes.data() + position, sizeof(header));
		uint64_t ownerSize = file.Fix(header[0]);
		uint64_t descriptorSize = file.Fix(header[1]);
		uint32_t type = file.Fix(header[2]);
		position += kNoteHeaderBytes;

		if (ownerSize > size - position)
			return "a note's owner runs past the end of its segment";
		const unsigned char* owner = notes.data() + position;
		uint64_t descriptorStart = AlignUp(position + ownerSize, alignment);
		if (descriptorSize > 0
			&& (descriptorStart > size || descriptorSize > size - descriptorStart))
			return "a note runs past the end of its segment";

		if (ownerSize == sizeof(kOwner) && std::memcmp(owner, kOwner, sizeof(kOwner)) == 0
			&& type == MODULE_TYPE_NOTE_TYPE) {
			const unsigned char* descriptor = notes.data() + descriptorStart;
			if (descriptorSize == 0 || !ValidType(descriptor, descriptorSize))
				return "its module type is not a printable string";
			std::string moduleType(reinterpret_cast<const char*>(descriptor),
				static_cast<size_t>(descriptorSize - 1));
			if (found.status == ModuleType::Status::Typed && found.type != moduleType)
				return "it carries two module types, \"" + found.type + "\" and \""
					+ moduleType + "\"";
			found.status = ModuleType::Status::Typed;
			found.type = std::move(moduleType);
		}

		uint64_t next = AlignUp(descriptorStart + descriptorSize, alignment);
		position = next < size ? next : size;
	}
	return std::string();
}


template<typename Elf>
ModuleType
ReadNotes(const ElfFile& file)
{
	using Ehdr = typename Elf::Ehdr;
	using Phdr = typename Elf::Phdr;
	using Shdr = typename Elf::Shdr;

	Ehdr header;
	if (!file.Read(0, sizeof(header), &header))
		return Damaged("its ELF header is cut short");

	uint64_t tableOffset = file.Fix(header.e_phoff);
	uint64_t entrySize = file.Fix(header.e_phentsize);
	uint64_t count = file.Fix(header.e_phnum);
	if (count == PN_XNUM) {
		// Too many to count in the header: the first section header holds
		// the number.
		uint64_t sectionOffset = file.Fix(header.e_shoff);
		Shdr first;
		if (sectionOffset == 0 || file.Fix(header.e_shentsize) < sizeof(Shdr)
			|| !file.Read(sectionOffset, sizeof(first), &first))
			return Damaged("its count of program headers is missing");
		count = file.Fix(first.sh_info);
	}
	if (count == 0)
		return ModuleType{};
	if (entrySize < sizeof(Phdr))
		return Damaged("its program headers are " + std::to_string(entrySize)
			+ " bytes, too small to be ELF program headers");
	if (count > kMaxProgramHeaderBytes / entrySize)
		return Damaged("it claims " + std::to_string(count)
			+ " program headers, more than any add-on has");

	std::vector<unsigned char> table(static_cast<size_t>(count * entrySize));
	if (!file.Read(tableOffset, table.size(), table.data()))
		return Damaged("its program headers lie outside the file");

	ModuleType found;
	for (uint64_t i = 0; i < count; i++) {
		Phdr segment;
		std::memcpy(&segment, table.data() + i * entrySize, sizeof(segment));
		if (file.Fix(segment.p_type) != PT_NOTE)
			continue;

		uint64_t offset = file.Fix(segment.p_offset);
		uint64_t size = file.Fix(segment.p_filesz);
		if (size > kMaxNoteSegmentBytes)
			return Damaged("it has a note segment of " + std::to_string(size)
				+ " bytes, more than any add-on has");
		std::vector<unsigned char> notes(static_cast<size_t>(size));
		if (!file.Read(offset, size, notes.data()))
			return Damaged("a note segment lies outside the file");

		// Notes are four-byte aligned, except in segments of eight-byte
		// aligned ones, which linkers keep apart.
		uint64_t alignment = file.Fix(segment.p_align) == 8 ? 8 : 4;
		std::string problem = ScanNotes(notes, alignment, file, found);
		if (!problem.empty())
			return Damaged(problem);
	}
	return found;
}

}	// namespace


ModuleType
ReadModuleType(uint64_t fileSize, const ByteReader& read)
{
	unsigned char ident[EI_NIDENT];
	ElfFile raw(fileSize, read, false);
	if (!raw.Read(0, sizeof(ident), ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
		return Damaged("it has no ELF header");

	bool littleEndian = ident[EI_DATA] == ELFDATA2LSB;
	if (!littleEndian && ident[EI_DATA] != ELFDATA2MSB)
		return Damaged("its ELF header names no byte order");
	bool hostLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
	ElfFile file(fileSize, read, littleEndian != hostLittleEndian);

	switch (ident[EI_CLASS]) {
		case ELFCLASS32:
			return ReadNotes<Elf32>(file);
		case ELFCLASS64:
			return ReadNotes<Elf64>(file);
		default:
			return Damaged("it is neither a 32- nor a 64-bit ELF file");
	}
}


ModuleType
ReadModuleType(std::string_view image)
{
	return ReadModuleType(image.size(), [image](uint64_t offset, size_t size, void* out) {
		std::memcpy(out, image.data() + offset, size);
		return true;
	});
}


ModuleType
ReadModuleTypeOfFile(int fd)
{
	struct stat info;
	if (fstat(fd, &info) != 0)
		return Damaged("it cannot be read (" + SystemReason(errno) + ")");

	int readError = 0;
	ModuleType type = ReadModuleType(static_cast<uint64_t>(info.st_size),
		[fd, &readError](uint64_t offset, size_t size, void* out) {
			auto* bytes = static_cast<unsigned char*>(out);
			while (size > 0) {
				ssize_t count = pread(fd, bytes, size, static_cast<off_t>(offset));
				if (count < 0 && errno == EINTR)
					continue;
				if (count <= 0) {
					// A file that shrank since fstat() ends early: that is
					// damage, not a read error.
					readError = count < 0 ? errno : 0;
					return false;
				}
				bytes += count;
				offset += static_cast<uint64_t>(count);
				size -= static_cast<size_t>(count);
			}
			return true;
		});
	if (readError != 0)
		return Damaged("it cannot be read (" + SystemReason(readError) + ")");
	return type;
}
