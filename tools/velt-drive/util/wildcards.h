// The Windows command prompt hands a program its arguments as typed: in
// `velt-drive.exe check scenarios\examples\*.drive` the program gets the
// star. velt-drive built for Windows expands such arguments itself, as a
// Unix shell would have before it started. The functions work on any
// platform, so that they are tested where the tests run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velt::drive {

// Whether `argument` holds a * or a ?.
bool hasWildcard(std::string_view argument);

// Whether `name` matches `pattern`: * stands for any run of characters, ?
// for one; letters compare without regard to case when `ignoreCase`.
bool wildcardMatch(std::string_view pattern, std::string_view name, bool ignoreCase);

// The files an argument names: with a wildcard in its last part, every file
// of its folder whose name matches, sorted, written with the folder as the
// argument wrote it; a name beginning with '.' only when the pattern does.
// An argument without a wildcard, or one that matches nothing, stays as it
// is (so that the message about it names what was typed).
std::vector<std::string> expandWildcards(const std::string& argument, bool ignoreCase);

// Every argument expanded, in order. On Windows builds the names compare
// without regard to case; elsewhere the arguments are returned unchanged
// (the shell has expanded them).
std::vector<std::string> expandArguments(const std::vector<std::string>& arguments);

// A path as the platform writes it in a message: '\' on Windows. Only for
// what the tool tells a person; files compared across builds keep '/'.
std::string nativeSeparators(std::string path);

// `path` with every '/' and '\' written as `separator`: the rule of
// nativeSeparators, testable on every platform.
std::string withSeparator(std::string path, char separator);

}  // namespace velt::drive
