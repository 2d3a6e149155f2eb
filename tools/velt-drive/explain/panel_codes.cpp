#include "tools/velt-drive/explain/panel_codes.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <utility>

#include "core/beacons.h"
#include "core/blink.h"
#include "core/display_codes.h"

namespace velt::drive {

namespace {

using namespace velt::display;

constexpr const char* kFastBlink = "fast blink (0.5 s)";
constexpr const char* kNormalBlink = "blinks (1 s)";
constexpr const char* kSlowAlternation = "alternates with 28 every second (2 s)";

// Collects the cases of each code; a code shown for several reasons gets
// one entry naming them all.
class CodeTable {
public:
    void add(int panel, std::int32_t code, const std::string& label, const std::string& meaning,
             const std::string& blinks = "") {
        Entry& entry = entries_[{panel, code}];
        if (entry.labels.empty() || entry.labels.back() != label) addOnce(entry.labels, label);
        addOnce(entry.meanings, meaning);
        if (!blinks.empty()) addOnce(entry.blinks, blinks);
    }

    // A speed image: its label lists the speeds it stands for.
    void addSpeed(int panel, std::int32_t code, std::int32_t speedKmh, const std::string& meaning,
                  const std::string& blinks = "") {
        add(panel, code, "", meaning, blinks);
        entries_[{panel, code}].speeds.insert(speedKmh);
    }

    [[nodiscard]] std::vector<PanelCode> entries() const {
        std::vector<PanelCode> out;
        for (const auto& [key, entry] : entries_) {
            PanelCode code;
            code.panel = key.first;
            code.code = key.second;
            code.label = join(entry.labels, " / ");
            // A speed image is named by its speeds; a code with a name of its
            // own keeps it, and its meanings tell the speeds it also shows.
            if (code.label.empty() && !entry.speeds.empty()) {
                std::string speeds;
                for (const std::int32_t speed : entry.speeds)
                    speeds += (speeds.empty() ? "" : "/") + std::to_string(speed);
                if (entry.speeds.size() > 3)
                    speeds = std::to_string(*entry.speeds.begin()) + "-" +
                             std::to_string(*entry.speeds.rbegin());
                code.label = speeds + " km/h";
            }
            code.meaning = join(entry.meanings, "; ");
            code.blinks = join(entry.blinks, "; ");
            out.push_back(code);
        }
        return out;
    }

private:
    struct Entry {
        std::vector<std::string> labels;
        std::vector<std::string> meanings;
        std::vector<std::string> blinks;
        std::set<std::int32_t> speeds;
    };

    static void addOnce(std::vector<std::string>& list, const std::string& text) {
        if (!text.empty() && std::find(list.begin(), list.end(), text) == list.end())
            list.push_back(text);
    }
    static std::string join(const std::vector<std::string>& parts, const char* separator) {
        std::string out;
        for (const std::string& part : parts)
            if (!part.empty()) out += (out.empty() ? "" : separator) + part;
        return out;
    }

    std::map<std::pair<int, std::int32_t>, Entry> entries_;
};

constexpr int kPanelMode = cab::kPanelDisplayMode;
constexpr int kPanelLimit = cab::kPanelDisplayLimit;
constexpr int kPanelTarget = cab::kPanelDisplayTarget;
constexpr int kPanelAux = cab::kPanelDisplayAux;

std::string category(std::int32_t lineType) { return "line category " + std::to_string(lineType); }

void addMode(CodeTable& t) {
    t.add(kPanelMode, kNothing, "off", "before the first frame of a run");
    t.add(kPanelMode, kModeLegacyLine0, "legacy, category 0",
          "legacy supervision on line category 0");
    t.add(kPanelMode, kModeLegacyOther, "legacy", "legacy supervision on line categories 1 to 9");
    t.add(kPanelMode, kModeVelt, "Velt", "Velt supervision");
}

// The signal aspects' codes: on the limit element, or on the target element
// in the CPP stop case (aspects 1 and 2 only).
void addSignalCodes(CodeTable& t) {
    for (std::int32_t row = 0; row < kSignalCodeRows; ++row) {
        for (std::int32_t aspect = 1; aspect < kSignalIndices; ++aspect) {
            const std::int32_t code = kSignalCodes[row][aspect];
            if (!isShownAspect(aspect) || code == kNothing) continue;
            const std::string what = "aspect " + std::to_string(aspect) + " (" +
                                     std::to_string(kSignalLimitsKmh[aspect]) + " km/h) on " +
                                     category(row);
            t.addSpeed(kPanelLimit, code, kSignalLimitsKmh[aspect], what);
            if (aspect <= 2)
                t.addSpeed(kPanelTarget, code, kSignalLimitsKmh[aspect],
                           what + ", with a CPP stop pattern armed");
        }
    }
}

void addLimitAndTarget(CodeTable& t) {
    t.add(kPanelLimit, kNothing, "blank", "nothing to show (legacy supervision, door link)");
    t.add(kPanelTarget, kNothing, "blank", "nothing to show");
    t.add(kPanelLimit, kLimitOverspeedCut, "overspeed cut", "power cut above the line's top speed",
          kFastBlink);
    t.add(kPanelLimit, kLimitStopPhase, "stop phase", "CPP stop phase, no brake demanded");
    t.add(kPanelTarget, kTargetStop, "stop",
          "aspect 0; door link from 500 ms after the doors opened until after they closed");
    t.add(kPanelTarget, kTargetDoorOrStopBraking, "doors / stop braking",
          "door link: the first 500 ms after the doors opened; CPP stop phase while braking");
    addSignalCodes(t);
    t.add(kPanelLimit, kLimitCppOnLine0, "CPP restriction",
          "line category 0: aspects 3 to 8 with a CPP pattern of signal 2 or less armed");
    t.add(kPanelLimit, kRestriction, "restriction", "line category 1: CCP or CLF restriction");
    t.add(kPanelTarget, kRestriction, "restriction",
          "line category 0: CCP restriction (steady with a fixed route)",
          "alternates with the restriction's speed every second (2 s) without a fixed route");
    // CLF limits, as a beacon arms them (code x 5 km/h).
    for (std::int32_t clf = kClfLowestCode; clf <= kClfHighestCode; ++clf) {
        const std::int32_t speed = clf * kSpeedStepKmh;
        const std::string what = "line category 0: CLF limit " + std::to_string(speed) + " km/h";
        t.addSpeed(kPanelLimit, speedCode(speed), speed, what);
        t.addSpeed(kPanelTarget, speedCode(speed), speed, what + ", with a CPP stop pattern armed");
    }
    // CCP restrictions are shown only below the aspect's speed.
    const std::int32_t fastest =
        *std::max_element(std::begin(kSignalLimitsKmh), std::end(kSignalLimitsKmh));
    // A 0 km/h restriction alternates the sign with a blank element: the
    // blank is the dark half of the sign's blink, not a code that blinks.
    for (std::int32_t speed = 0; speed < fastest; speed += kSpeedStepKmh) {
        const std::int32_t code = speedCode(speed);
        t.addSpeed(kPanelTarget, code, speed,
                   "line category 0: CCP restriction " + std::to_string(speed) + " km/h",
                   code == kNothing ? "" : kSlowAlternation);
    }
}

const char* legacyName(LegacyState state) {
    switch (state) {
        case LegacyState::kNormal: return "legacy normal";
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm: return "legacy alarm";
        case LegacyState::kCheck: return "legacy check";
    }
    return "";
}

void addAux(CodeTable& t) {
    t.add(kPanelAux, kNothing, "blank", "nothing to show");
    for (const LegacyState state : {LegacyState::kNormal, LegacyState::kAlarm,
                                    LegacyState::kSilencedAlarm, LegacyState::kCheck}) {
        for (const std::int32_t lineType : {0, 1}) {
            for (const bool braking : {false, true}) {
                const std::int32_t code = legacyAux(state, lineType, braking);
                if (code == kNothing) continue;
                const std::string name =
                    std::string(legacyName(state)) + (braking ? ", braking" : "");
                t.add(kPanelAux, code, name,
                      name + (state == LegacyState::kNormal ? " (line category 1)" : ""));
            }
        }
    }
    t.add(kPanelAux, kAuxWarnLine0, "pattern warning",
          "line category 0: CPP or CCP approach warning (fast with a fixed route)", kNormalBlink);
    t.add(kPanelAux, kAuxWarnLine0, "pattern warning", "", kFastBlink);
    t.add(kPanelAux, kAuxWarnOther, "pattern warning",
          "line categories 1 to 9: approach warning; line category 2: SPB warning", kNormalBlink);
    t.add(kPanelAux, kAuxSpb, "SPB pattern", "line category 0: SPB pattern armed",
          "blinks (1 s) while the SPB warns");
    t.add(kPanelAux, kAuxSpbKind1, "SPB pattern, kind 1",
          "line category 0: SPB pattern of kind 1 armed", "blinks (1 s) while the SPB warns");
    for (std::int32_t position = 0; position <= 8; ++position)
        t.add(kPanelAux, kAuxSelectorBase + position, "selector " + std::to_string(position),
              "line category 0: route selector at " + std::to_string(position),
              "fast blink (0.5 s) during the kind-blink indication");
}

// The code of one element (0 mode, 1 limit, 2 target, 3 aux).
std::int32_t elementOf(const DisplayCodes& d, std::size_t element) {
    switch (element) {
        case 0: return d.mode;
        case 1: return d.limit;
        case 2: return d.target;
        default: return d.aux;
    }
}

// What a legacy state shows on the aux element, braking or not, by the
// display's own rule.
const char* legacyAuxMeaning(std::int32_t code) {
    const std::pair<LegacyState, const char*> states[] = {
        {LegacyState::kAlarm, "legacy alarm"},
        {LegacyState::kCheck, "legacy speed check"},
        {LegacyState::kNormal, "legacy normal"}};
    for (const auto& [state, name] : states)
        for (const bool braking : {false, true})
            if (code == legacyAux(state, 1, braking)) return name;
    return nullptr;
}

// Which of a code's cases holds in the state that shows it.
std::string meaningIn(int panel, std::int32_t code, const CVelt& v) {
    if (code == kNothing) return "";
    const bool velt = v.veltDefined == 1;
    switch (panel) {
        case kPanelMode:
            if (code == kModeLegacyLine0) return "legacy supervision, line category 0";
            if (code == kModeLegacyOther) return "legacy supervision";
            if (code == kModeVelt) return "Velt supervision";
            break;
        case kPanelLimit:
            if (code == kLimitOverspeedCut && v.overspeedCut != 0) return "overspeed cut";
            if (code == kLimitStopPhase && v.cppPhase == CppPhase::kStopPhase)
                return "CPP stop phase";
            if (code == kLimitCppOnLine0) return "CPP restriction";
            if (code == kRestriction) return "CCP or CLF restriction";
            if (v.clfState != ClfState::kOff && code == speedCode(v.clfSpeed))
                return "CLF " + std::to_string(v.clfSpeed) + " km/h";
            return "aspect " + std::to_string(v.signalIndex);
        case kPanelTarget:
            if (velt && v.linkDoorState == LinkDoorState::kDoorsOpened)
                return "door link, doors opened";
            if (velt && v.linkDoorState == LinkDoorState::kDoorsClosed)
                return "door link, doors closed";
            if (code == kTargetDoorOrStopBraking) return "CPP stop phase, braking";
            if (code == kTargetStop) return "stop aspect";
            if (code == kRestriction) return "CCP restriction";
            if (v.ccpActive != 0 && code == speedCode(v.ccpSpeed))
                return "CCP " + std::to_string(v.ccpSpeed) + " km/h";
            if (v.clfState != ClfState::kOff && code == speedCode(v.clfSpeed))
                return "CLF " + std::to_string(v.clfSpeed) + " km/h, CPP stop target";
            return "aspect " + std::to_string(v.signalIndex) + ", CPP stop target";
        default:
            if (!velt) {
                const char* legacy = legacyAuxMeaning(code);
                return legacy != nullptr ? legacy : "";
            }
            if (code == kAuxWarnOther && v.spbWarn == 1 && v.patternWarn == 0) return "SPB warning";
            if (code == kAuxWarnLine0 || code == kAuxWarnOther) return "pattern warning";
            if (code == kAuxSpb) return "SPB pattern";
            if (code == kAuxSpbKind1) return "SPB pattern, kind 1";
            if (code >= kAuxSelectorBase && code <= kAuxSelectorBase + 8)
                return "selector " + std::to_string(code - kAuxSelectorBase);
            break;
    }
    return "";
}

}  // namespace

const std::vector<PanelCode>& panelCodes() {
    static const std::vector<PanelCode> codes = [] {
        CodeTable table;
        addMode(table);
        addLimitAndTarget(table);
        addAux(table);
        return table.entries();
    }();
    return codes;
}

const PanelCode* findPanelCode(int panel, std::int32_t code) {
    const auto& codes = panelCodes();
    const auto at = std::lower_bound(codes.begin(), codes.end(), std::make_pair(panel, code),
                                     [](const PanelCode& entry, const std::pair<int, int>& key) {
                                         return std::make_pair(entry.panel, entry.code) < key;
                                     });
    return at != codes.end() && at->panel == panel && at->code == code ? &*at : nullptr;
}

DisplayLook displayLook(const CVelt& state, std::int32_t timeMs) {
    // The display at a quarter of the fastest period apart, over the slowest
    // period, covers each half of every blink: eight times a quarter second
    // apart. The door-link step is a time-out, not a blink, so it is held
    // where the state has it at `timeMs`.
    constexpr std::int32_t kSpanMs = 2 * kSlowHalfPeriodMs;
    constexpr std::int32_t kStepMs = kFastHalfPeriodMs;
    CVelt probe = state;
    if (probe.linkDoorState == LinkDoorState::kDoorsOpened)
        probe.linkDoorTime = timeMs < state.linkDoorTime ? INT32_MAX : INT32_MIN;
    const std::int32_t base = timeMs - timeMs % kSpanMs;
    DisplayLook looks;
    for (std::int32_t at = kStepMs / 2; at < kSpanMs; at += kStepMs) {
        const DisplayCodes d = probe.displayAt(base + at);
        for (std::size_t e = 0; e < looks.size(); ++e) {
            std::vector<std::int32_t>& look = looks[e];
            const std::int32_t code = elementOf(d, e);
            if (std::find(look.begin(), look.end(), code) == look.end()) look.push_back(code);
        }
    }
    for (std::vector<std::int32_t>& look : looks) std::sort(look.begin(), look.end());
    return looks;
}

std::string describeLook(int panel, const std::vector<std::int32_t>& codes, const CVelt& state) {
    std::string text = findIndicator(panel)->name;
    std::vector<std::int32_t> shown;
    for (const std::int32_t code : codes)
        if (code != kNothing) shown.push_back(code);
    if (codes.size() == 1) {
        text += " " + std::to_string(codes[0]);
    } else if (shown.size() == 1) {
        text += " " + std::to_string(shown[0]) + " blinking";
    } else {
        text += " ";
        for (std::size_t i = 0; i < codes.size(); ++i)
            text += (i > 0 ? "/" : "") + std::to_string(codes[i]);
        text += " alternating";
    }
    std::string meanings;
    for (const std::int32_t code : shown) {
        const std::string meaning = meaningIn(panel, code, state);
        if (!meaning.empty() && meanings.find(meaning) == std::string::npos)
            meanings += (meanings.empty() ? "" : ", ") + meaning;
    }
    if (!meanings.empty()) text += " (" + meanings + ")";
    return text;
}

}  // namespace velt::drive
