#include "tools/velt-drive/render/events_csv.h"

#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/util/csv.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

void EventsWriter::begin(int /*emergencyNotch*/) {
    write(
        "time_ms,elapsed_s,position_m,speed_kmh,kind,check,level,intervention,cause,cause_what,"
        "cause_position_m,event\n");
}

void EventsWriter::frame(const FrameRecord& frame) {
    if (frame.core == nullptr || frame.core->events.empty()) return;
    const std::string when = std::to_string(frame.timeMs) + "," +
                             formatFixed(static_cast<double>(frame.elapsedMs) / 1000.0, 3) + "," +
                             formatFixed(frame.positionM, 3) + "," +
                             formatFixed(frame.speedKmh, 3) + ",";
    std::string rows;
    for (const ExplainedEvent& event : frame.core->events) {
        rows += when + eventKindWord(event.kind) + "," + checkWord(event.check) + ",";
        if (event.kind == EventKind::Brake) rows += std::to_string(event.level);
        rows += ",";
        if (event.intervention >= 0) rows += std::to_string(event.intervention + 1);
        rows += ",";
        if (event.cause.known())
            rows += csvField(event.cause.file + ":" + std::to_string(event.cause.line)) + "," +
                    csvField(event.cause.what) + "," + formatFixed(event.cause.positionM, 3);
        else
            rows += ",,";
        rows += "," + csvField(event.text) + "\n";
    }
    write(rows);
}

void EventsWriter::end(const DriveEnd& /*end*/) {
    if (std::fflush(out_) != 0) failed_ = true;
}

void EventsWriter::write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), out_) != text.size()) failed_ = true;
}

}  // namespace velt::drive
