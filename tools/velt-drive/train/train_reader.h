// The train file reader's own state, shared by the files that read each
// part of a train.dat: train_file.cpp (lines, messages, the checks across
// sections, the way in), train_sections.cpp (the version header and the
// section lines), train_fields.cpp (the numbered fields of #HANDLE, #DEVICE,
// #BRAKE, #PRESSURE, #PERFORMANCE, #DELAY, #MOVE and #CAR) and
// train_acceleration.cpp (#ACCELERATION). Nothing outside this room
// includes it: readTrain and parseTrain in train_file.h are the way in.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/velt-drive/train/train_file.h"
#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive::trainread {

constexpr std::string_view kBlanks = " \t\r\v\f";

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline std::string inQuotes(std::string_view text) { return "'" + std::string(text) + "'"; }

enum class Section {
    None,  // before the first section
    Acceleration,
    Performance,
    Delay,
    Move,
    Brake,
    Pressure,
    Handle,
    Device,
    Car,
    Skipped,  // known, and nothing in it shapes the drive: cab view, sound tables
    Unknown,
};

// The name a message and a DefaultedField use: the first one listed.
std::string_view canonicalName(Section section);

// The values the host can use.
struct Range {
    bool integer;  // rounded half to even before the range check
    double low;
    bool lowOpen;  // `low` itself is out of range
    double high;
    const char* text;  // as a message says it
};

// One field the stand-in reads: where, what, its range, and where the value goes.
struct FieldRule {
    Section section;
    int index;
    const char* name;
    Range range;
    const char* defaultText;
    void (*store)(TrainFile&, double);
    bool newerOnly;  // read only under a build-number header
};

// The ranges a value may take; the host checks some of these itself, the
// others are the widest that keep the motion finite. These three are shared
// by the fields and the acceleration curve; the rest are in train_fields.cpp.
constexpr double kNoLimit = 1e6;
constexpr Range kSpeedKmh = {false, 0, false, 1000, "0 to 1000"};
constexpr Range kUpToHundred = {false, 0, false, 100, "0 to 100"};
constexpr Range kPositive = {false, 0, true, kNoLimit, "above 0"};

// The fields the reader knows (train_fields.cpp).
constexpr std::size_t kFieldCount = 31;

// A line as the host sees it: cut at ';', trimmed, trailing commas dropped.
struct FileLine {
    std::string_view text;
    int number = 0;
    int column = 1;  // of text[0] in the line as written
};

// Reads one train.dat, line by line, into a TrainFile and its warnings.
class Reader {
public:
    explicit Reader(const std::string& file);

    ReadTrain run(std::string_view text);

private:
    // ---- messages and checks across the file (train_file.cpp)
    [[nodiscard]] SourceLocation at(int line, int column = 0) const;
    void warn(SourceLocation where, std::string message, std::string help = {});
    [[noreturn]] void fail(SourceLocation where, std::string message, std::string help) const;
    void requireText(std::string_view text) const;
    [[nodiscard]] SourceLocation sectionStart(Section section) const;
    void finish();
    void checkAcrossSections();

    // ---- the version header and the section lines (train_sections.cpp)
    bool header(const FileLine& line);
    void beginSection(const FileLine& line);

    // ---- numbered fields (train_fields.cpp)
    void field(const FileLine& line);
    [[nodiscard]] std::string fieldName(const FieldRule& rule) const;
    void readField(const FieldRule& rule, std::size_t ruleIndex, const FileLine& line);
    void notActedOn(const FieldRule& rule, const SourceLocation& where);
    std::optional<double> readValue(std::string_view text, const SourceLocation& where,
                                    const std::string& what, const Range& range,
                                    DefaultedField fallback);
    static DefaultedField defaultOf(const std::string& section, int index, const std::string& name,
                                    const std::string& value);
    void record(DefaultedField entry, DefaultedField::Why why, SourceLocation where);
    void forget(const std::string& section, int index, const std::string& name);
    void recordMissingFields();

    // ---- #ACCELERATION (train_acceleration.cpp)
    void accelerationLine(const FileLine& line);
    static double convertOldestExponent(double written, double v2Kmh);
    void checkAcceleration();

    TrainFile train_;
    std::vector<Diagnostic> warnings_;
    Section section_ = Section::None;
    int fieldIndex_ = 0;
    int accelerationNotch_ = 0;
    std::array<bool, kFieldCount> given_{};
    std::map<Section, int> sectionLine_;  // the line of each section's last header
};

}  // namespace velt::drive::trainread
