#ifndef TESTS_EXEC_POINTERS_H
#define TESTS_EXEC_POINTERS_H

#include <string>
#include <vector>


// The strings as the null-ended array that exec and posix_spawn take; it
// points into them, so they must outlive it.
inline std::vector<char*>
ExecPointers(std::vector<std::string>& strings)
{
	std::vector<char*> pointers;
	for (std::string& text : strings)
		pointers.push_back(text.data());
	pointers.push_back(nullptr);
	return pointers;
}

#endif	// TESTS_EXEC_POINTERS_H
