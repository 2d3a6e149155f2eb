// The floor, in its own translation unit so that its call is a real call,
// as the plug-in's Elapse is to the host.
#include "bench/floor_elapse.h"

namespace velt::bench {

// Outputs as a plug-in that had already decided everything would hold them.
// Visible outside this unit and never const, so the compiler cannot fold
// them into constant stores: the floor loads its values as a real frame
// must, since they change from frame to frame.
struct HeldOutputs {
    HandleCommand handles;
    std::int32_t panel[17];
    std::int32_t sound[16];
};
HeldOutputs heldOutputs{};

__attribute__((noinline)) HandleCommand floorElapse(VehicleState /*state*/, std::int32_t* panel,
                                                    std::int32_t* sound) {
    const HeldOutputs& h = heldOutputs;
    panel[10] = h.panel[0];
    panel[11] = h.panel[1];
    panel[12] = h.panel[2];
    panel[13] = h.panel[3];
    panel[20] = h.panel[4];
    panel[21] = h.panel[5];
    panel[22] = h.panel[6];
    panel[23] = h.panel[7];
    panel[30] = h.panel[8];
    panel[31] = h.panel[9];
    panel[32] = h.panel[10];
    panel[35] = h.panel[11];
    panel[40] = h.panel[12];
    panel[45] = h.panel[13];
    panel[46] = h.panel[14];
    panel[50] = h.panel[15];
    panel[255] = h.panel[16];

    sound[0] = h.sound[0];
    sound[1] = h.sound[1];
    sound[2] = h.sound[2];
    sound[5] = h.sound[3];
    sound[6] = h.sound[4];
    sound[7] = h.sound[5];
    sound[10] = h.sound[6];
    sound[11] = h.sound[7];
    sound[15] = h.sound[8];
    sound[20] = h.sound[9];
    sound[21] = h.sound[10];
    sound[22] = h.sound[11];
    sound[23] = h.sound[12];
    sound[25] = h.sound[13];
    sound[26] = h.sound[14];
    sound[30] = h.sound[15];
    return h.handles;
}

}  // namespace velt::bench
