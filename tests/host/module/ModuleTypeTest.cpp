// The module type note, read from built add-ons and from ELF images made here:
// 32- and 64-bit, either byte order, and damaged in the ways an untrusted
// file can be.
#include <gtest/gtest.h>

#include <elf.h>

#include <cstddef>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <ModuleTypeNote.h>

#include "module/ModuleType.h"


namespace {

using Status = ModuleType::Status;

struct Note {
	std::string owner;
	uint32_t type;
	// The descriptor's bytes as they are stored, NUL included when wanted.
	std::string descriptor;
};

struct Segment {
	uint32_t type;
	std::string bytes;
	uint64_t alignment = 4;
};

const Note kSaverType{MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE,
	std::string(SCREEN_SAVER_MODULE_TYPE) + '\0'};
const Note kBuildId{"GNU", NT_GNU_BUILD_ID, std::string(20, '\x5a')};


// An ELF image in the making: integers written in the image's byte order.
class ElfWriter {
public:
	ElfWriter(bool bigEndian) : fBigEndian(bigEndian) {}

	void Put(std::string& image, size_t offset, size_t width, uint64_t value) const
	{
		if (image.size() < offset + width)
			image.resize(offset + width, '\0');
		for (size_t i = 0; i < width; i++) {
			size_t shift = fBigEndian ? (width - 1 - i) * 8 : i * 8;
			image[offset + i] = static_cast<char>((value >> shift) & 0xff);
		}
	}

	std::string Notes(const std::vector<Note>& notes, uint64_t alignment) const
	{
		std::string bytes;
		for (const Note& note : notes) {
			size_t start = bytes.size();
			Put(bytes, start, 4, note.owner.size() + 1);
			Put(bytes, start + 4, 4, note.descriptor.size());
			Put(bytes, start + 8, 4, note.type);
			bytes += note.owner;
			bytes += '\0';
			Pad(bytes, alignment);
			bytes += note.descriptor;
			Pad(bytes, alignment);
		}
		return bytes;
	}

private:
	static void Pad(std::string& bytes, uint64_t alignment)
	{
		while (bytes.size() % alignment != 0)
			bytes += '\0';
	}

	bool fBigEndian;
};

#define FIELD(type, member) offsetof(type, member), sizeof(type::member)


// An ELF shared object of the class and byte order with the segments given,
// program headers right after the ELF header, the segments' contents after them.
std::string
ElfImage(int elfClass, bool bigEndian, const std::vector<Segment>& segments)
{
	ElfWriter w(bigEndian);
	bool is64 = elfClass == ELFCLASS64;
	size_t headerSize = is64 ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr);
	size_t entrySize = is64 ? sizeof(Elf64_Phdr) : sizeof(Elf32_Phdr);

	std::string image(headerSize + segments.size() * entrySize, '\0');
	image[EI_MAG0] = ELFMAG0;
	image[EI_MAG1] = ELFMAG1;
	image[EI_MAG2] = ELFMAG2;
	image[EI_MAG3] = ELFMAG3;
	image[EI_CLASS] = static_cast<char>(elfClass);
	image[EI_DATA] = bigEndian ? ELFDATA2MSB : ELFDATA2LSB;
	image[EI_VERSION] = EV_CURRENT;
	if (is64) {
		w.Put(image, FIELD(Elf64_Ehdr, e_type), ET_DYN);
		w.Put(image, FIELD(Elf64_Ehdr, e_phoff), headerSize);
		w.Put(image, FIELD(Elf64_Ehdr, e_ehsize), headerSize);
		w.Put(image, FIELD(Elf64_Ehdr, e_phentsize), entrySize);
		w.Put(image, FIELD(Elf64_Ehdr, e_phnum), segments.size());
	} else {
		w.Put(image, FIELD(Elf32_Ehdr, e_type), ET_DYN);
		w.Put(image, FIELD(Elf32_Ehdr, e_phoff), headerSize);
		w.Put(image, FIELD(Elf32_Ehdr, e_ehsize), headerSize);
		w.Put(image, FIELD(Elf32_Ehdr, e_phentsize), entrySize);
		w.Put(image, FIELD(Elf32_Ehdr, e_phnum), segments.size());
	}

	for (size_t i = 0; i < segments.size(); i++) {
		const Segment& segment = segments[i];
		size_t entry = headerSize + i * entrySize;
		size_t offset = image.size();
		if (is64) {
			w.Put(image, entry + offsetof(Elf64_Phdr, p_type), 4, segment.type);
			w.Put(image, entry + offsetof(Elf64_Phdr, p_offset), 8, offset);
			w.Put(image, entry + offsetof(Elf64_Phdr, p_filesz), 8, segment.bytes.size());
			w.Put(image, entry + offsetof(Elf64_Phdr, p_align), 8, segment.alignment);
		} else {
			w.Put(image, entry + offsetof(Elf32_Phdr, p_type), 4, segment.type);
			w.Put(image, entry + offsetof(Elf32_Phdr, p_offset), 4, offset);
			w.Put(image, entry + offsetof(Elf32_Phdr, p_filesz), 4, segment.bytes.size());
			w.Put(image, entry + offsetof(Elf32_Phdr, p_align), 4, segment.alignment);
		}
		image += segment.bytes;
	}
	return image;
}


std::string
NoteImage(const std::vector<Note>& notes, int elfClass = ELFCLASS64, bool bigEndian = false)
{
	ElfWriter w(bigEndian);
	return ElfImage(elfClass, bigEndian, {{PT_LOAD, std::string(64, '\x90')},
		{PT_NOTE, w.Notes(notes, 4)}});
}


std::string
ReadFile(const char* path)
{
	std::ifstream file(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), {});
}


// A little-endian integer of the image.
uint64_t
Get(const std::string& image, size_t offset, size_t width)
{
	uint64_t value = 0;
	for (size_t i = 0; i < width; i++)
		value |= uint64_t{static_cast<unsigned char>(image[offset + i])} << (8 * i);
	return value;
}


// Where in a 64-bit little-endian image the first note segment's program
// header is; 0 when there is none.
size_t
FirstNoteHeader(const std::string& image)
{
	uint64_t table = Get(image, FIELD(Elf64_Ehdr, e_phoff));
	uint64_t count = Get(image, FIELD(Elf64_Ehdr, e_phnum));
	for (uint64_t i = 0; i < count; i++) {
		size_t entry = table + i * sizeof(Elf64_Phdr);
		if (Get(image, entry + offsetof(Elf64_Phdr, p_type), 4) == PT_NOTE)
			return entry;
	}
	return 0;
}

}	// namespace


TEST(ModuleType, BuiltAddOnsCarryTheTypeTheirBuildGaveThem)
{
	ModuleType dustglow = ReadModuleType(ReadFile(DUSTGLOW_PATH));
	ASSERT_EQ(dustglow.status, Status::Typed) << dustglow.problem;
	EXPECT_EQ(dustglow.type, SCREEN_SAVER_MODULE_TYPE);

	EXPECT_EQ(ReadModuleType(ReadFile(TYPED_NOSYMBOLS_PATH)).type, SCREEN_SAVER_MODULE_TYPE);
	ModuleType untyped = ReadModuleType(ReadFile(NOSYMBOLS_PATH));
	EXPECT_EQ(untyped.status, Status::Untyped) << untyped.problem;
}


TEST(ModuleType, IsReadInEveryClassAndByteOrderAmongOtherNotes)
{
	for (int elfClass : {ELFCLASS32, ELFCLASS64}) {
		for (bool bigEndian : {false, true}) {
			SCOPED_TRACE(testing::Message() << "class " << elfClass << " big " << bigEndian);
			ModuleType typed = ReadModuleType(
				NoteImage({kBuildId, kSaverType}, elfClass, bigEndian));
			EXPECT_EQ(typed.status, Status::Typed) << typed.problem;
			EXPECT_EQ(typed.type, SCREEN_SAVER_MODULE_TYPE);

			EXPECT_EQ(ReadModuleType(NoteImage({kBuildId}, elfClass, bigEndian)).status,
				Status::Untyped);
		}
	}

	// Eight-byte aligned notes in a segment of their own, then ours.
	ElfWriter w(false);
	std::string image = ElfImage(ELFCLASS64, false, {
		{PT_NOTE, w.Notes({{"GNU", NT_GNU_PROPERTY_TYPE_0, std::string(12, '\1')}}, 8), 8},
		{PT_NOTE, w.Notes({kSaverType}, 4)}});
	EXPECT_EQ(ReadModuleType(image).type, SCREEN_SAVER_MODULE_TYPE);
}


TEST(ModuleType, OnlyTheOwnerAndNoteTypeTogetherMakeATypeNote)
{
	const Note lookalikes[] = {
		{"GNU", MODULE_TYPE_NOTE_TYPE, kSaverType.descriptor},
		{MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE + 1, kSaverType.descriptor},
		{std::string(MODULE_TYPE_NOTE_OWNER) + "s", MODULE_TYPE_NOTE_TYPE,
			kSaverType.descriptor},
	};
	for (const Note& note : lookalikes)
		EXPECT_EQ(ReadModuleType(NoteImage({note})).status, Status::Untyped) << note.owner;

	// The same type twice is one type; a note outside a PT_NOTE segment is
	// no note at all.
	EXPECT_EQ(ReadModuleType(NoteImage({kSaverType, kSaverType})).status, Status::Typed);
	ElfWriter w(false);
	EXPECT_EQ(ReadModuleType(ElfImage(ELFCLASS64, false,
		{{PT_LOAD, w.Notes({kSaverType}, 4)}})).status, Status::Untyped);
}


TEST(ModuleType, DamagedNotesAreReportedNotTrusted)
{
	struct Case {
		const char* what;
		Note note;
	};
	const Case cases[] = {
		{"no NUL", {MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE, "text/plain"}},
		{"NUL inside", {MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE,
			std::string("text/pl\0ain\0", 12)}},
		{"control character", {MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE,
			std::string("text/\nplain") + '\0'}},
		{"empty", {MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE, std::string(1, '\0')}},
		{"too long", {MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE,
			std::string(MODULE_TYPE_MAX_LENGTH + 1, 'a') + '\0'}},
	};
	for (const Case& test : cases) {
		ModuleType type = ReadModuleType(NoteImage({test.note}));
		EXPECT_EQ(type.status, Status::Damaged) << test.what;
		EXPECT_EQ(type.problem, "its module type is not a printable string") << test.what;
	}

	ModuleType two = ReadModuleType(NoteImage({kSaverType,
		{MODULE_TYPE_NOTE_OWNER, MODULE_TYPE_NOTE_TYPE, std::string("text/plain") + '\0'}}));
	EXPECT_EQ(two.status, Status::Damaged);
	EXPECT_EQ(two.problem, "it carries two module types, \"" SCREEN_SAVER_MODULE_TYPE
		"\" and \"text/plain\"");
}


TEST(ModuleType, HeadersThatPointOutsideTheFileAreDamage)
{
	const std::string good = NoteImage({kBuildId, kSaverType});
	const size_t note = FirstNoteHeader(good);
	ASSERT_NE(note, 0u);
	ElfWriter w(false);

	struct Case {
		const char* what;
		size_t offset;
		size_t width;
		uint64_t value;
		const char* problem;
	};
	const Case cases[] = {
		{"table far away", FIELD(Elf64_Ehdr, e_phoff), 1ull << 40,
			"its program headers lie outside the file"},
		{"table wraps", FIELD(Elf64_Ehdr, e_phoff), ~0ull,
			"its program headers lie outside the file"},
		{"too many", FIELD(Elf64_Ehdr, e_phnum), 0xfff0,
			"it claims 65520 program headers, more than any add-on has"},
		{"small entries", FIELD(Elf64_Ehdr, e_phentsize), 8,
			"its program headers are 8 bytes, too small to be ELF program headers"},
		{"count elsewhere, no sections", FIELD(Elf64_Ehdr, e_phnum), PN_XNUM,
			"its count of program headers is missing"},
		{"segment far away", note + offsetof(Elf64_Phdr, p_offset), 8, 1ull << 40,
			"a note segment lies outside the file"},
		{"segment wraps", note + offsetof(Elf64_Phdr, p_offset), 8, ~0ull - 4,
			"a note segment lies outside the file"},
		{"segment too long", note + offsetof(Elf64_Phdr, p_filesz), 8, good.size(),
			"a note segment lies outside the file"},
		{"segment huge", note + offsetof(Elf64_Phdr, p_filesz), 8, 1ull << 32,
			"it has a note segment of 4294967296 bytes, more than any add-on has"},
		{"segment cut mid-header", note + offsetof(Elf64_Phdr, p_filesz), 8, 6,
			"a note is cut short"},
	};
	for (const Case& test : cases) {
		std::string image = good;
		w.Put(image, test.offset, test.width, test.value);
		ModuleType type = ReadModuleType(image);
		EXPECT_EQ(type.status, Status::Damaged) << test.what;
		EXPECT_EQ(type.problem, test.problem) << test.what;
	}

	// Owner and descriptor sizes in the first note (the build id) that run
	// past the segment, down to ones that wrap 32 bits.
	size_t segment = Get(good, note + offsetof(Elf64_Phdr, p_offset), 8);
	for (uint64_t size : {uint64_t{200}, uint64_t{0xfffffffc}, uint64_t{0xffffffff}}) {
		std::string ownerTooLong = good;
		w.Put(ownerTooLong, segment, 4, size);
		EXPECT_EQ(ReadModuleType(ownerTooLong).status, Status::Damaged) << size;
		std::string descriptorTooLong = good;
		w.Put(descriptorTooLong, segment + 4, 4, size);
		EXPECT_EQ(ReadModuleType(descriptorTooLong).status, Status::Damaged) << size;
	}
}


TEST(ModuleType, ManyProgramHeadersAreCountedInTheFirstSectionHeader)
{
	std::string image = NoteImage({kSaverType});
	ElfWriter w(false);
	// A section header at the end whose sh_info holds the count, 2.
	size_t section = image.size();
	w.Put(image, section + offsetof(Elf64_Shdr, sh_info), 4, 2);
	w.Put(image, section + sizeof(Elf64_Shdr) - 1, 1, 0);
	w.Put(image, FIELD(Elf64_Ehdr, e_shoff), section);
	w.Put(image, FIELD(Elf64_Ehdr, e_shentsize), sizeof(Elf64_Shdr));
	w.Put(image, FIELD(Elf64_Ehdr, e_phnum), PN_XNUM);
	EXPECT_EQ(ReadModuleType(image).type, SCREEN_SAVER_MODULE_TYPE);

	w.Put(image, section + offsetof(Elf64_Shdr, sh_info), 4, 0xffffffff);
	EXPECT_EQ(ReadModuleType(image).status, Status::Damaged);
}


TEST(ModuleType, EveryTruncationOfAnAddOnIsReadSafely)
{
	// Cut short anywhere, the built add-on is typed only when its whole note
	// segment is still there, and nothing is read beyond the cut (the sanitizer
	// builds catch that).
	const std::string whole = ReadFile(DUSTGLOW_PATH);
	ASSERT_GT(whole.size(), 4096u);
	size_t note = FirstNoteHeader(whole);
	ASSERT_NE(note, 0u);
	uint64_t noteEnd = Get(whole, note + offsetof(Elf64_Phdr, p_offset), 8)
		+ Get(whole, note + offsetof(Elf64_Phdr, p_filesz), 8);

	for (size_t length = 0; length <= 4096; length++) {
		std::vector<char> cut(whole.begin(), whole.begin() + length);
		ModuleType type = ReadModuleType(std::string_view(cut.data(), cut.size()));
		EXPECT_EQ(type.status == Status::Typed, length >= noteEnd) << length;
	}

	const char* const garbage[] = {"", "\x7f" "ELF", "\x7f" "ELF\x03\x01\x01",
		"\x7f" "ELF\x02\x07\x01", "MZ not elf at all"};
	for (const char* bytes : garbage)
		EXPECT_EQ(ReadModuleType(bytes).status, Status::Damaged) << bytes;
}
