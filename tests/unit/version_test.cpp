#include "plugin_harness.h"

namespace velt::test {
namespace {

TEST(PluginVersion, IsAnsweredBeforeAnyOtherCall) {
    loadFresh();
    EXPECT_EQ(::GetPluginVersion(), 131072);
}

}  // namespace
}  // namespace velt::test
