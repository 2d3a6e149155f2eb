// A vehicle author's train file (train.dat) as the host reads it: the
// handles, the brake, the performance and the cars, in plain fields with
// their units in the names. Reading never guesses: a field the file does
// not give, or gives in a form the host could not use, keeps the host's
// default and is listed in `defaulted`, so that a summary can say every
// figure the drive took from nowhere.
//
// The file's rules, as the host applies them:
//   - each line is cut at its first ';' and trimmed, trailing commas dropped;
//   - the first non-empty line is a version header (letters and a number);
//   - sections start at a line '#NAME' (any case) and end at the next '#';
//   - the Nth line after a section's header is its field N; a blank line
//     takes a position, except in #ACCELERATION (one line per power notch);
//   - numbers are read loosely: spaces removed, then the longest leading
//     part that reads as a dot-decimal number ("1,5" reads as 1); integer
//     fields are rounded half to even.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive {

// How the host reads the file: the oldest format writes the acceleration
// curve's exponent differently; everything else is the same.
enum class TrainFormat { Oldest, Current };

struct TrainHeader {
    std::string text;  // as written; empty when the file starts with a section
    TrainFormat format = TrainFormat::Current;
    // A build-number header (the newest files): #HANDLE 7 and 8, the
    // driver's own notch limits, are read.
    bool newer = false;
    bool recognised = false;  // a version number the host knows
    int line = 0;             // 0: no header line
};

// "the oldest format (header X1210000)", "the current format (no version
// header)", ...: what a summary says the file was read as.
std::string describeFormat(const TrainHeader& header);

// One power notch's traction: a0 at standstill, rising or falling linearly
// to a1 at v1, then a1 v1 / v up to v2, then a1 v1 v2^(e-1) / v^e. The
// exponent is held in the current format's form (the oldest format's is
// converted on reading), and v2 is at least v1.
struct AccelerationCurve {
    double a0KmhS = 0.0;
    double a1KmhS = 0.0;
    double v1Kmh = 0.0;
    double v2Kmh = 0.0;
    double exponent = 1.0;
};

// #BRAKE 0.
enum class BrakeType {
    StraightAir = 0,      // straight air with electric command
    ElectricCommand = 1,  // electric command
    AutomaticAir = 2,     // release, lap, service, emergency; no hold brake
};

// A field that kept the host's default.
struct DefaultedField {
    enum class Why {
        Missing,     // the section, the line or (in #ACCELERATION) the value is not there
        Unreadable,  // the line does not start with a number
        OutOfRange,  // a number the host cannot use
    };
    std::string section;  // "PERFORMANCE", "ACCELERATION", ...
    int index = 0;        // the field number; in #ACCELERATION the power notch (from 1)
    std::string name;     // "rolling resistance coefficient", "notch 3 v2 (km/h)"
    std::string value;    // the default, as a summary may print it
    Why why = Why::Missing;
    SourceLocation where;  // the line at fault; the section's header or the file when missing
};

struct TrainFile {
    std::string path;  // the train.dat read
    TrainHeader header;

    // #HANDLE
    int handleType = 0;  // 0 two handles, 1 one handle, 2 and 3 interlocked
    int powerNotches = 8;
    int brakeNotches = 8;  // as declared: with a hold brake, the hold notch is one of them
    int powerReductionSteps = 0;
    int emergencyBrakeEffect = 0;  // 0 none, 1 power off, 2 reverser off, 3 both
    // The driver's own notch limits; newer headers only, never above the
    // declared counts. Unset: the driver reaches every notch.
    std::optional<int> driverPowerNotches;
    std::optional<int> driverBrakeNotches;

    // #DEVICE
    bool holdBrakeFitted = false;  // 4; switched off by the automatic air brake
    int doorOpenMode = 0;          // 8
    int doorCloseMode = 0;         // 9

    // #BRAKE
    BrakeType brakeType = BrakeType::StraightAir;
    int electricBrakeMode = 0;
    double electricBrakeFadeKmh = 0.0;

    // #PRESSURE: the brake cylinder's pressure at full service and at emergency.
    double serviceCylinderKpa = 440.0;
    double emergencyCylinderKpa = 440.0;

    // #PERFORMANCE (#DECELERATION)
    double decelerationKmhS = 1.0;  // at full service
    double staticFriction = 0.35;
    double rollingResistance = 0.0025;
    double dragCoefficient = 1.1;

    // #DELAY: each notch a handle moves waits this long, one notch at a time.
    double powerUpDelayS = 0.0;
    double powerDownDelayS = 0.0;
    double brakeUpDelayS = 0.0;
    double brakeDownDelayS = 0.0;

    // #MOVE 4 and 5: the brake cylinder's fill and release rates.
    double cylinderFillKpaS = 300.0;
    double cylinderReleaseKpaS = 200.0;

    // #ACCELERATION: entry n - 1 is power notch n. May be shorter than
    // powerNotches (the notches without a line give no traction) or longer.
    std::vector<AccelerationCurve> acceleration;

    // #CAR
    double motorCarMassT = 40.0;  // each
    int motorCars = 1;            // 0 counts as 1
    double trailerCarMassT = 40.0;
    int trailerCars = 0;
    double carLengthM = 20.0;
    bool frontCarIsMotorCar = true;

    // Every field above that kept its default, in file order (missing ones
    // after those the file names).
    std::vector<DefaultedField> defaulted;
};

// The facts more than one stage needs, each computed here once.
// Motor cars (at least 1) plus trailer cars: the `Cars` the plug-in gets.
int carCount(const TrainFile& train);
// Cars x car length + 0.3 m between each two cars.
double trainLengthM(const TrainFile& train);
double trainMassT(const TrainFile& train);
// A hold brake that works: fitted, and not switched off by the automatic air brake.
bool holdBrakeInUse(const TrainFile& train);

struct ReadTrain {
    TrainFile train;
    // Where the host would refuse or warn, where a value cannot be used as
    // written, and what lies beside the file unread. Severity Warning.
    std::vector<Diagnostic> warnings;
};

// Reads a train.dat, or the train.dat (any case) inside the folder `path`,
// and warns about an extensions.cfg or train.xml beside it, neither of
// which is read. Throws DiagnosticError when there is nothing usable: no
// such file or folder, a file that cannot be read, one that is not text,
// or one with neither a version header nor a section.
ReadTrain readTrain(const std::string& path);

// The same from text in memory; `file` names it in messages. Looks at no
// other file.
ReadTrain parseTrain(std::string_view text, const std::string& file);

}  // namespace velt::drive
