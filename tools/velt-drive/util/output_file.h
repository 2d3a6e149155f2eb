// The files a run leaves (trace, plot, and whatever comes next), handled
// alike so that none is ever lost or half-written: every path is checked
// before the run, each output is written to a temporary file beside its
// place and renamed into place only when the whole run has succeeded, and
// a failed run leaves the old files as they were.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace velt::drive {

// The one directory velt-drive creates by itself, for its default outputs.
inline constexpr const char* kDefaultOutputDirectory = "build/drive";

class OutputFile {
public:
    OutputFile(std::string option, std::string path, bool isDefault, bool streamable)
        : option_(std::move(option)),
          path_(std::move(path)),
          isDefault_(isDefault),
          streamable_(streamable) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    const std::string& option() const { return option_; }  // "--trace"
    const std::string& path() const { return path_; }      // "-" for standard output
    bool toStandardOutput() const { return path_ == "-"; }
    // Where to write between Outputs::open and Outputs::commit.
    std::FILE* stream() const { return stream_; }

private:
    friend class Outputs;

    std::string option_;
    std::string path_;
    bool isDefault_;
    bool streamable_;  // may go to standard output
    std::string temporary_;
    std::FILE* stream_ = nullptr;
};

class Outputs {
public:
    Outputs() = default;
    Outputs(const Outputs&) = delete;
    Outputs& operator=(const Outputs&) = delete;
    ~Outputs();

    // Something the run reads, which no output may replace.
    void addInput(const std::string& path, const std::string& what);

    // An output named by `option`: `path` as given, or `defaultName` in the
    // default directory when none was given. "-" is standard output, for
    // `streamable` outputs only.
    OutputFile& add(const std::string& option, const std::string& path,
                    const std::string& defaultName, bool streamable);

    // Before anything runs: no output is an input, another output's path, a
    // directory, or in a directory that does not exist (but the default
    // one). False with `error` set, naming the option and what to do.
    bool validate(std::string& error) const;

    // Creates the temporary files (and the default directory if needed).
    bool open(std::string& error);

    // Closes the temporary files and renames each into place.
    bool commit(std::string& error);

    // Removes the temporary files: the run failed, nothing changes.
    void abandon();

    bool anyToStandardOutput() const;

private:
    struct Input {
        std::string path;
        std::string what;
    };
    std::vector<Input> inputs_;
    std::vector<std::unique_ptr<OutputFile>> outputs_;
};

}  // namespace velt::drive
