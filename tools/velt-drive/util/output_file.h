// The files a run leaves (trace, plot, and whatever comes next), handled
// alike so that none is ever lost or half-written: every path is checked
// before the run, each output is written to a temporary file beside its
// place and renamed into place only when the whole run has succeeded, and
// a failed run leaves the old files as they were. A device or a pipe that
// the user names (/dev/null, a FIFO, NUL) is written into directly instead:
// renaming a file over it would destroy it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace velt::drive {

// Where the outputs go that the command line does not name, relative to the
// current folder: build/drive in a folder that has a build folder (a velt
// source tree once built, where build products belong and version control
// ignores them), and velt-drive-output everywhere else, such as the
// unpacked release folder, where a name of its own says what made it. The
// folder is created when missing, as is the folder of any output named.
std::string defaultOutputDirectory();
// The same rule in words, for --help.
inline constexpr const char* kDefaultOutputRule =
    "Outputs not named on the command line go into velt-drive-output/ in the current folder, or "
    "into build/drive/ when the current folder has a build/ folder. A missing folder of an "
    "output is created.";

// The Windows device that `path` names (NUL, CON, COM1, ... in any case and
// any folder, with or without an extension, or a \\.\ path), in upper case,
// or "" when it names a file. Windows reads these names so in every folder.
std::string windowsDeviceName(const std::string& path);

class OutputFile {
public:
    OutputFile(std::string option, std::string path, bool streamable)
        : option_(std::move(option)), path_(std::move(path)), streamable_(streamable) {}
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
    bool streamable_;      // may go to standard output
    bool direct_ = false;  // a device or a pipe: written into, never renamed over
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
    // default folder when none was given. "-" is standard output, for
    // `streamable` outputs only.
    OutputFile& add(const std::string& option, const std::string& path,
                    const std::string& defaultName, bool streamable);

    // Before anything runs: no output is an input, the same file as another
    // output, a directory, a device that cannot take a file (a disk), or
    // below a file that is not a folder. False with `error` set, naming the
    // option and what to do.
    bool validate(std::string& error);

    // Creates the missing folders and the temporary files, and opens the
    // devices and pipes. False with `error` set when that fails: an I/O
    // failure, after which abandon() removes what was created.
    bool open(std::string& error);

    // Closes every output and renames each temporary file into place. False
    // with `error` set on an I/O failure.
    bool commit(std::string& error);

    // Removes the temporary files and the folders open() created: the run
    // failed, nothing changes.
    void abandon();

    bool anyToStandardOutput() const;

private:
    struct Input {
        std::string path;
        std::string what;
    };
    std::vector<Input> inputs_;
    std::vector<std::unique_ptr<OutputFile>> outputs_;
    std::vector<std::string> createdDirectories_;  // in the order created
};

}  // namespace velt::drive
