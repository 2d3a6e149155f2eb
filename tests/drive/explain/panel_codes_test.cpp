// The display-code table the summary, the time view and the report page
// name codes from, and the author draws images from, must hold every code
// the plug-in shows: a host that throws every kind of beacon, aspect, key,
// door and speed at it finds none missing.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/explain/panel_codes.h"

namespace velt::drive {
namespace {

// One random host event: what beacons, signals, the driver and the doors
// can tell the plug-in, with the values that matter to each handler.
void randomEvent(const PluginApi& api, std::mt19937& random) {
    auto pick = [&](std::initializer_list<std::int32_t> values) {
        std::uniform_int_distribution<std::size_t> at(0, values.size() - 1);
        return *(values.begin() + static_cast<std::ptrdiff_t>(at(random)));
    };
    std::uniform_int_distribution<std::int32_t> speedCode(0, 33);
    std::uniform_int_distribution<std::int32_t> metres(0, 800);
    switch (pick({0, 1, 2, 3, 4, 5})) {
        case 0: {
            const std::int32_t type = pick({1, 10, 12, 13, 15, 20, 20, 21, 21, 22, 24});
            std::int32_t optional = metres(random);
            if (type == 10) optional += pick({0, 10000});
            if (type == 12 || type == 15) optional += 10000 * speedCode(random);
            if (type == 13) optional = speedCode(random);
            if (type == 20 || type == 22) optional = pick({0, 1});
            if (type == 21) optional = pick({0, 3, 8, 100, 105, 200, 300, 1003, 1105, 999, -5});
            if (type == 24) optional = pick({0, 400, 5000});
            api.setBeaconData({type, pick({0, 1, 2, 3}), 0.0F, optional});
            break;
        }
        case 1: api.setSignal(pick({0, 1, 2, 3, 4, 5, 6, 7, 8, 9})); break;
        case 2: api.setBrake(pick({0, 0, 4, 8, 9})); break;
        case 3: api.keyDown(pick({0, 3, 5, 6, 15})); break;
        case 4: api.doorOpen(); break;
        default: api.doorClose(); break;
    }
}

TEST(PanelCodes, HoldEveryCodeTheDisplayShowsUnderARandomHost) {
    const PluginApi& api = nativePlugin();
    std::mt19937 random(14);  // NOLINT(cert-msc32-c,cert-msc51-cpp): a failure must repeat
    std::set<std::pair<int, std::int32_t>> shown;
    std::array<std::int32_t, 256> panel{};
    std::array<std::int32_t, 256> sound{};
    for (int run = 0; run < 300; ++run) {
        api.load();
        api.setVehicleSpec({8, {}});
        api.initialize(0);
        std::int32_t time = 36000000;
        float speed = 0.0F;
        std::uniform_real_distribution<float> accelerate(-6.0F, 6.0F);
        for (int frame = 0; frame < 3000; ++frame) {
            if (random() % 40 == 0) randomEvent(api, random);
            speed = std::clamp(speed + accelerate(random), 0.0F, 170.0F);
            if (random() % 500 == 0) speed = 0.0F;
            time += static_cast<std::int32_t>(random() % 120) + 1;
            VehicleState state{};
            state.speed = speed;
            state.time = time;
            api.elapse(state, panel.data(), sound.data());
            for (int index = kFirstDisplayPanel; index < kFirstDisplayPanel + kDisplayPanels;
                 ++index)
                shown.insert({index, panel[static_cast<std::size_t>(index)]});
        }
    }
    api.dispose();
    for (const auto& [index, code] : shown)
        EXPECT_NE(findPanelCode(index, code), nullptr)
            << "panel " << index << " showed code " << code << ", which the table lacks";
    EXPECT_GT(shown.size(), 60u) << "the random host reached too little to tell";
}

TEST(PanelCodes, NameEveryCodeOnceWithAMeaningAndATileLabel) {
    std::set<std::pair<int, std::int32_t>> seen;
    for (const PanelCode& code : panelCodes()) {
        EXPECT_TRUE(seen.insert({code.panel, code.code}).second) << code.panel << ":" << code.code;
        EXPECT_FALSE(code.label.empty()) << code.panel << ":" << code.code;
        EXPECT_FALSE(code.meaning.empty()) << code.panel << ":" << code.code;
    }
    // What an author reads off the tiles for the codes the issue names.
    EXPECT_EQ(findPanelCode(21, 9)->label, "45 km/h");
    EXPECT_EQ(findPanelCode(22, 1)->label, "stop");
    EXPECT_EQ(findPanelCode(23, 8)->label, "pattern warning");
    EXPECT_EQ(findPanelCode(23, 17)->label, "selector 3");
    EXPECT_NE(findPanelCode(21, 1)->blinks.find("fast"), std::string::npos);
    EXPECT_EQ(findPanelCode(20, 7), nullptr);
}

// Only a code the target element can blink or alternate with carries a
// blink note: the blank of a 0 km/h restriction is the sign's dark half.
TEST(PanelCodes, NoteBlinksOnlyOnTargetCodesThatBlink) {
    EXPECT_EQ(findPanelCode(22, 0)->blinks, "");
    EXPECT_NE(findPanelCode(22, 28)->blinks, "");
    EXPECT_NE(findPanelCode(22, 9)->blinks, "");
}

}  // namespace
}  // namespace velt::drive
