// The unit tests' fixture: the test host (tests/support/test_host.h) over a
// freshly loaded plug-in in every test, with the panel and sound arrays
// filled with the sentinel, the vehicle specified and a run initialised.
#pragma once

#include <gtest/gtest.h>

#include "test_host.h"

namespace velt::test {

class PluginTest : public ::testing::Test, public TestHost {
protected:
    void SetUp() override {
        loadFresh();
        panel.fill(kSentinel);
        sound.fill(kSentinel);
        startPlugin();
    }

    // A freshly loaded plug-in again, for cases that run one after another
    // in a single test.
    void reload() { SetUp(); }
};

}  // namespace velt::test
