#include "tools/velt-drive/util/output_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velt::drive {

namespace fs = std::filesystem;

namespace {

int processId() {
#if defined(_WIN32)
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// What an output path names, as far as writing it goes.
enum class FileKind {
    Missing,    // written to a temporary file beside it, then renamed into place
    Regular,    // the same
    Directory,  // refused
    Stream,     // a character device or a pipe: written into directly
    Unwritable  // a block device (a disk) or a socket: refused
};

FileKind kindOf(const std::string& path) {
#if defined(_WIN32)
    if (!windowsDeviceName(path).empty()) return FileKind::Stream;
    std::error_code code;
    const fs::file_status status = fs::status(path, code);
    if (!fs::exists(status)) return FileKind::Missing;
    if (fs::is_directory(status)) return FileKind::Directory;
    return fs::is_regular_file(status) ? FileKind::Regular : FileKind::Stream;
#else
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return FileKind::Missing;
    if (S_ISDIR(info.st_mode)) return FileKind::Directory;
    if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return FileKind::Stream;
    if (S_ISREG(info.st_mode)) return FileKind::Regular;
    return FileKind::Unwritable;
#endif
}

// The absolute path with links, "." and ".." resolved as far as it exists.
std::string normalised(const std::string& path) {
    std::error_code code;
    std::string result = fs::weakly_canonical(fs::absolute(path, code), code).string();
#if defined(_WIN32)
    result = upperCase(result);  // Windows file names ignore case
#endif
    return result;
}

// The same file, whatever its kind and whether or not it exists yet: the
// same device and inode (links and "./" make no difference), the same
// Windows device name, or the same normalised path.
bool sameFile(const std::string& a, const std::string& b) {
#if defined(_WIN32)
    const std::string deviceA = windowsDeviceName(a);
    const std::string deviceB = windowsDeviceName(b);
    if (!deviceA.empty() || !deviceB.empty()) return deviceA == deviceB;
    std::error_code code;
    if (fs::exists(a, code) && fs::exists(b, code) && fs::equivalent(a, b, code)) return true;
#else
    // Not std::filesystem::equivalent: it will not compare devices or pipes.
    struct stat infoA {};
    struct stat infoB {};
    if (::stat(a.c_str(), &infoA) == 0 && ::stat(b.c_str(), &infoB) == 0)
        return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
#endif
    return normalised(a) == normalised(b);
}

std::string directoryOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

bool endsWithSeparator(const std::string& path) {
    const char last = path.back();
    return last == '/' || last == '\\';
}

// The nearest folder above `path` that exists, or the file that stands
// where a folder would have to be ("" when none is found).
fs::path nearestExisting(const fs::path& path) {
    std::error_code code;
    for (fs::path at = path; !at.empty(); at = at.parent_path()) {
        if (fs::exists(at, code)) return at;
        if (at == at.parent_path()) break;
    }
    return {};
}

}  // namespace

std::string defaultOutputDirectory() {
    std::error_code code;
    return fs::is_directory("build", code) ? "build/drive" : "velt-drive-output";
}

std::string windowsDeviceName(const std::string& path) {
    if (path.size() > 4 && (path.compare(0, 4, R"(\\.\)") == 0 || path.compare(0, 4, "//./") == 0))
        return upperCase(path);
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    // "NUL.csv", "nul " and "COM1:" name the device too.
    name = name.substr(0, name.find_first_of(".:"));
    name.erase(name.find_last_not_of(' ') + 1);
    name = upperCase(name);
    static const std::array<const char*, 6> kNames = {"CON", "PRN",    "AUX",
                                                      "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kNames)
        if (name == device) return name;
    const bool numbered =
        name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0);
    if (numbered && name[3] >= '1' && name[3] <= '9') return name;
    return {};
}

OutputFile::~OutputFile() {
    // Nothing to report from a destructor: the output is being thrown away.
    if (stream_ != nullptr && !toStandardOutput()) (void)std::fclose(stream_);
    if (!temporary_.empty()) (void)std::remove(temporary_.c_str());
}

Outputs::~Outputs() { abandon(); }

void Outputs::addInput(const std::string& path, const std::string& what) {
    inputs_.push_back({path, what});
}

OutputFile& Outputs::add(const std::string& option, const std::string& path,
                         const std::string& defaultName, bool streamable) {
    const std::string chosen =
        path.empty() ? (fs::path(defaultOutputDirectory()) / defaultName).make_preferred().string()
                     : path;
    outputs_.push_back(std::make_unique<OutputFile>(option, chosen, streamable));
    return *outputs_.back();
}

bool Outputs::validate(std::string& error) {
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        OutputFile& out = *outputs_[i];
        const std::string named = out.option_ + " " + out.path_ + ": ";
        if (out.path_.empty()) {
            error = out.option_ + ": the file name is empty; give a file name";
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            const OutputFile& other = *outputs_[j];
            const bool bothStandard = out.toStandardOutput() && other.toStandardOutput();
            if (bothStandard || (!out.toStandardOutput() && !other.toStandardOutput() &&
                                 sameFile(out.path_, other.path_))) {
                error = named + "is also the file of " + other.option_ +
                        "; give each output its own name";
                return false;
            }
        }
        if (out.toStandardOutput()) {
            if (!out.streamable_) {
                error =
                    out.option_ + " -: this output cannot go to standard output; give a file name";
                return false;
            }
            continue;
        }
        for (const Input& input : inputs_) {
            if (sameFile(out.path_, input.path)) {
                error = named + "is " + input.what +
                        ", which this run reads; give the output another name";
                return false;
            }
        }
        const FileKind kind = kindOf(out.path_);
        if (kind == FileKind::Directory ||
            (kind == FileKind::Missing && endsWithSeparator(out.path_))) {
            error = named + "is a directory; give a file name inside it";
            return false;
        }
        if (kind == FileKind::Unwritable) {
            error = named +
                    "is a disk or a socket, not a file; give a file name (or a character device "
                    "or a pipe, which are written into directly)";
            return false;
        }
        out.direct_ = kind == FileKind::Stream;
        if (out.direct_) continue;
        // The folder may be missing (open() creates it), but what exists of
        // it must be folders.
        std::error_code code;
        const fs::path existing = nearestExisting(directoryOf(out.path_));
        if (!existing.empty() && !fs::is_directory(existing, code)) {
            error = named + existing.string() +
                    " is a file, not a folder; give the output a path in a folder";
            return false;
        }
    }
    return true;
}

bool Outputs::open(std::string& error) {
    static int counter = 0;
    for (const auto& pointer : outputs_) {
        OutputFile& out = *pointer;
        if (out.toStandardOutput()) {
            out.stream_ = stdout;
            continue;
        }
        if (out.direct_) {
            out.stream_ = std::fopen(out.path_.c_str(), "wb");
            if (out.stream_ == nullptr) {
                error = out.option_ + " " + out.path_ +
                        ": cannot open the device or pipe for writing; check its permissions";
                return false;
            }
            continue;
        }
        const std::string directory = directoryOf(out.path_);
        // Each missing folder from the top down, so that abandon() can remove
        // exactly those it finds empty, from the bottom up.
        std::vector<fs::path> missing;
        std::error_code code;
        for (fs::path at = directory; !at.empty() && !fs::exists(at, code); at = at.parent_path()) {
            missing.push_back(at);
            if (at == at.parent_path()) break;
        }
        for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
            if (!fs::create_directory(*at, code) && code) {
                error = out.option_ + " " + out.path_ + ": cannot create the folder " +
                        at->string() + ": " + code.message();
                return false;
            }
            createdDirectories_.push_back(at->string());
        }
        const std::string name = fs::path(out.path_).filename().string();
        out.temporary_ =
            (fs::path(directory) / ("." + name + ".velt-drive-" + std::to_string(processId()) +
                                    "-" + std::to_string(++counter) + ".tmp"))
                .string();
        out.stream_ = std::fopen(out.temporary_.c_str(), "wb");
        if (out.stream_ == nullptr) {
            out.temporary_.clear();
            error = out.option_ + " " + out.path_ + ": cannot create a file in " + directory +
                    "; check that the folder is writable";
            return false;
        }
    }
    return true;
}

bool Outputs::commit(std::string& error) {
    for (const auto& pointer : outputs_) {
        OutputFile& out = *pointer;
        if (out.toStandardOutput()) {
            if (std::fflush(stdout) != 0) {
                error = out.option_ + ": cannot write to standard output";
                return false;
            }
            continue;
        }
        const bool written = std::ferror(out.stream_) == 0;
        const bool closed = std::fclose(out.stream_) == 0;
        out.stream_ = nullptr;
        if (!written || !closed) {
            error = out.option_ + " " + out.path_ +
                    (out.direct_ ? ": cannot write into the device or pipe"
                                 : ": cannot write the file (is the disk full?)");
            return false;
        }
    }
    // Only now that every output is complete does any of them take its place.
    for (const auto& pointer : outputs_) {
        OutputFile& out = *pointer;
        if (out.toStandardOutput() || out.direct_) continue;
        std::error_code code;
        fs::rename(out.temporary_, out.path_, code);
        if (code && kindOf(out.path_) == FileKind::Regular) {
            // Some runtimes will not rename over an existing file; only a
            // regular file is ever removed to make room.
            std::error_code ignored;
            fs::remove(out.path_, ignored);
            code.clear();
            fs::rename(out.temporary_, out.path_, code);
        }
        if (code) {
            error = out.option_ + " " + out.path_ +
                    ": cannot move the finished file into place: " + code.message();
            return false;
        }
        out.temporary_.clear();
    }
    createdDirectories_.clear();  // they hold the outputs now
    return true;
}

void Outputs::abandon() {
    for (const auto& pointer : outputs_) {
        OutputFile& out = *pointer;
        if (out.stream_ != nullptr && !out.toStandardOutput()) (void)std::fclose(out.stream_);
        out.stream_ = nullptr;
        if (!out.temporary_.empty()) (void)std::remove(out.temporary_.c_str());
        out.temporary_.clear();
    }
    // Only those still empty: an output moved into place before the failure stays.
    std::error_code code;
    for (auto at = createdDirectories_.rbegin(); at != createdDirectories_.rend(); ++at)
        if (fs::is_empty(*at, code)) fs::remove(*at, code);
    createdDirectories_.clear();
}

bool Outputs::anyToStandardOutput() const {
    for (const auto& out : outputs_)
        if (out->toStandardOutput()) return true;
    return false;
}

}  // namespace velt::drive
