#include "tools/velt-drive/util/output_file.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#else
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

// The same file, whether or not it exists yet: links and "./" resolved.
bool samePath(const std::string& a, const std::string& b) {
    std::error_code code;
    if (fs::exists(a, code) && fs::exists(b, code)) return fs::equivalent(a, b, code);
    const fs::path left = fs::weakly_canonical(fs::absolute(a, code), code);
    const fs::path right = fs::weakly_canonical(fs::absolute(b, code), code);
    return left == right;
}

std::string directoryOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

bool namesADirectory(const std::string& path) {
    std::error_code code;
    const char last = path.back();
    return last == '/' || last == '\\' || fs::is_directory(path, code);
}

}  // namespace

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
    const bool isDefault = path.empty();
    const std::string chosen =
        isDefault ? std::string(kDefaultOutputDirectory) + "/" + defaultName : path;
    outputs_.push_back(std::make_unique<OutputFile>(option, chosen, isDefault, streamable));
    return *outputs_.back();
}

bool Outputs::validate(std::string& error) const {
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        const OutputFile& out = *outputs_[i];
        const std::string named = out.option_ + " " + out.path_ + ": ";
        if (out.path_.empty()) {
            error = out.option_ + ": the file name is empty; give a file name";
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            const OutputFile& other = *outputs_[j];
            const bool bothStandard = out.toStandardOutput() && other.toStandardOutput();
            if (bothStandard || (!out.toStandardOutput() && !other.toStandardOutput() &&
                                 samePath(out.path_, other.path_))) {
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
            if (samePath(out.path_, input.path)) {
                error = named + "is " + input.what +
                        ", which this run reads; give the output another name";
                return false;
            }
        }
        if (namesADirectory(out.path_)) {
            error = named + "is a directory; give a file name inside it";
            return false;
        }
        std::error_code code;
        const std::string directory = directoryOf(out.path_);
        if (!out.isDefault_ && !fs::is_directory(directory, code)) {
            error = named;
            error += "the directory " + directory + " does not exist; create it first";
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
        std::error_code code;
        const std::string directory = directoryOf(out.path_);
        if (out.isDefault_) fs::create_directories(directory, code);
        const std::string name = fs::path(out.path_).filename().string();
        out.temporary_ =
            (fs::path(directory) / ("." + name + ".velt-drive-" + std::to_string(processId()) +
                                    "-" + std::to_string(++counter) + ".tmp"))
                .string();
        out.stream_ = std::fopen(out.temporary_.c_str(), "wb");
        if (out.stream_ == nullptr) {
            out.temporary_.clear();
            error = out.option_ + " " + out.path_ + ": cannot create a file in " + directory +
                    "; check that the directory is writable";
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
            error = out.option_ + " " + out.path_ + ": cannot write the file (is the disk full?)";
            return false;
        }
    }
    // Only now that every output is complete does any of them take its place.
    for (const auto& pointer : outputs_) {
        OutputFile& out = *pointer;
        if (out.toStandardOutput()) continue;
        std::error_code code;
        fs::rename(out.temporary_, out.path_, code);
        if (code) {
            // Some runtimes will not rename over an existing file.
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
}

bool Outputs::anyToStandardOutput() const {
    for (const auto& out : outputs_)
        if (out->toStandardOutput()) return true;
    return false;
}

}  // namespace velt::drive
