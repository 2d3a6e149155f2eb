#include "tools/velt-drive/plugin/library_kind.h"

#include <cstdint>
#include <fstream>

namespace velt::drive {

namespace {

std::uint32_t little(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

constexpr std::uint32_t kElfMachine386 = 3;
constexpr std::uint32_t kElfMachineX8664 = 62;
constexpr std::uint32_t kPeMachine386 = 0x14C;
constexpr std::uint32_t kPeMachineAmd64 = 0x8664;
constexpr std::uint32_t kPeFileDll = 0x2000;
// The PE header sits where the DOS header's last field points, within the
// first kilobytes of every linker's output.
constexpr std::size_t kHeaderBytes = 4096;

}  // namespace

LibraryKind libraryKindOf(std::string_view header) {
    if (header.size() >= 20 && header.substr(0, 4) ==
                                   "\x7F"
                                   "ELF") {
        const std::uint32_t machine = little(header, 18, 2);
        if (header[4] == 1 && machine == kElfMachine386) return LibraryKind::Linux32;
        if (header[4] == 2 && machine == kElfMachineX8664) return LibraryKind::Linux64;
        return LibraryKind::LinuxOther;
    }
    if (header.size() >= 0x40 && header.substr(0, 2) == "MZ") {
        const std::uint32_t pe = little(header, 0x3C, 4);
        if (pe > kHeaderBytes - 24 || pe + 24 > header.size() ||
            header.substr(pe, 4) != std::string_view("PE\0\0", 4))
            return LibraryKind::WindowsProgram;
        const std::uint32_t machine = little(header, pe + 4, 2);
        const bool dll = (little(header, pe + 22, 2) & kPeFileDll) != 0;
        if (dll && machine == kPeMachine386) return LibraryKind::Windows32Dll;
        if (dll && machine == kPeMachineAmd64) return LibraryKind::Windows64Dll;
        return LibraryKind::WindowsProgram;
    }
    return LibraryKind::Unknown;
}

LibraryKind libraryKindLoadedHere() {
#if defined(_WIN64)
    return LibraryKind::Windows64Dll;
#elif defined(_WIN32)
    return LibraryKind::Windows32Dll;
#elif defined(__x86_64__)
    return LibraryKind::Linux64;
#elif defined(__i386__)
    return LibraryKind::Linux32;
#else
    return LibraryKind::LinuxOther;
#endif
}

std::string libraryKindProblem(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::string header(kHeaderBytes, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    const LibraryKind kind = libraryKindOf(header);
    const LibraryKind here = libraryKindLoadedHere();
    if (kind == here) return "";
    switch (kind) {
        case LibraryKind::Windows32Dll:
            return path + " is a 32-bit Windows DLL: run velt-drive.exe under Wine";
        case LibraryKind::Windows64Dll:
            return path + " is a 64-bit Windows DLL: run velt-drive64.exe under Wine";
        case LibraryKind::WindowsProgram: return path + " is a Windows program, not a plug-in DLL";
        case LibraryKind::Linux32:
        case LibraryKind::Linux64:
        case LibraryKind::LinuxOther:
            if (here == LibraryKind::Windows32Dll || here == LibraryKind::Windows64Dll)
                return path + " is a Linux library: run the native velt-drive";
            // Another processor or word size: dlopen names the mismatch itself.
            return "";
        case LibraryKind::Unknown:
            return path +
                   " is not a plug-in library (neither a Windows DLL nor a Linux shared library); "
                   "give the "
                   "plug-in with --plugin";
    }
    return "";
}

}  // namespace velt::drive
