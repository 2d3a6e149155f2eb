#include "core/velt.h"
namespace velt {
void CVelt::superviseVelt(const FrameValues&) {}
void CVelt::checkSignalSpeed(const FrameValues&) {}
void CVelt::overrideSignalOnLineType0(const FrameValues&) {}
void CVelt::superviseCpp(const FrameValues&) {}
void CVelt::superviseCppStop(const FrameValues&) {}
void CVelt::superviseCpp49(const FrameValues&) {}
void CVelt::superviseCcp(const FrameValues&) {}
void CVelt::superviseSpb(const FrameValues&) {}
void CVelt::superviseClf(const FrameValues&) {}
void CVelt::superviseOverspeedCut(const FrameValues&) {}
void CVelt::superviseKindBlink(const FrameValues&) {}
void CVelt::superviseLinkDoorTimeout(const FrameValues&) {}
void CVelt::mergeDemands() {}
}  // namespace velt
