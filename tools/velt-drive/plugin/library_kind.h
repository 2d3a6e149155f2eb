// What kind of library a file is, told from its header before anything
// tries to load it, so that a plug-in built for another platform is named
// as such, with the tool that loads it.
#pragma once

#include <string>
#include <string_view>

namespace velt::drive {

enum class LibraryKind {
    Unknown,        // neither ELF nor PE
    Linux32,        // ELF, 32-bit x86
    Linux64,        // ELF, 64-bit x86
    LinuxOther,     // ELF for another processor
    Windows32Dll,   // PE, i386, a DLL
    Windows64Dll,   // PE, x86-64, a DLL
    WindowsProgram  // PE, but no DLL, or for another processor
};

LibraryKind libraryKindOf(std::string_view header);

// The kind of plug-in this build of velt-drive loads.
LibraryKind libraryKindLoadedHere();

// Why this build cannot load `path`, with the tool that can, e.g.
// "build/win32/velt.dll is a 32-bit Windows DLL: run velt-drive.exe under
// Wine"; "" when it may load it or the file cannot be read (the loader
// then says why).
std::string libraryKindProblem(const std::string& path);

}  // namespace velt::drive
