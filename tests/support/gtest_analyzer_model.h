// A model of GoogleTest's assertions for the path-sensitive analyzer
// (clang-analyzer-*), which scripts/lint.sh includes ahead of each test file
// it analyses and nothing else includes. Each assertion evaluates its
// operands once, as GoogleTest does, and branches on the result: an
// EXPECT_* goes on after a failure, an ASSERT_* returns. What the model
// leaves out is GoogleTest's own printing of the values and messages, in
// which the analyzer otherwise spends nearly all of its time on a test
// file and can report nothing, being inside a system header. The other
// checks read the test files as they are, without this model.
#pragma once

#include <gtest/gtest.h>

#ifdef __clang_analyzer__

namespace velt::analyzer_model {

// What follows `<<` after an assertion: the failure message, not evaluated further.
struct Message {
    template <typename T>
    const Message& operator<<(const T& /*part*/) const {
        return *this;
    }
};
struct Failure {
    void operator=(const Message& /*message*/) const {}
};

}  // namespace velt::analyzer_model

// `if ... else` as GoogleTest writes it, so that a `<<` message and a
// following `else` of the caller bind as they do there.
#define VELT_MODEL_CHECK_(condition, onFailure) \
    if (condition)                              \
        ;                                       \
    else                                        \
        onFailure ::velt::analyzer_model::Failure() = ::velt::analyzer_model::Message()
#define VELT_MODEL_EXPECT_(condition) VELT_MODEL_CHECK_(condition, )
#define VELT_MODEL_ASSERT_(condition) VELT_MODEL_CHECK_(condition, return )

#undef EXPECT_EQ
#undef EXPECT_NE
#undef EXPECT_LT
#undef EXPECT_LE
#undef EXPECT_GT
#undef EXPECT_GE
#undef EXPECT_TRUE
#undef EXPECT_FALSE
#undef ASSERT_EQ
#undef ASSERT_NE
#undef ASSERT_LT
#undef ASSERT_LE
#undef ASSERT_GT
#undef ASSERT_GE
#undef ASSERT_TRUE
#undef ASSERT_FALSE
#undef SCOPED_TRACE
#define EXPECT_EQ(a, b) VELT_MODEL_EXPECT_((a) == (b))
#define EXPECT_NE(a, b) VELT_MODEL_EXPECT_((a) != (b))
#define EXPECT_LT(a, b) VELT_MODEL_EXPECT_((a) < (b))
#define EXPECT_LE(a, b) VELT_MODEL_EXPECT_((a) <= (b))
#define EXPECT_GT(a, b) VELT_MODEL_EXPECT_((a) > (b))
#define EXPECT_GE(a, b) VELT_MODEL_EXPECT_((a) >= (b))
#define EXPECT_TRUE(condition) VELT_MODEL_EXPECT_(static_cast<bool>(condition))
#define EXPECT_FALSE(condition) VELT_MODEL_EXPECT_(!static_cast<bool>(condition))
#define ASSERT_EQ(a, b) VELT_MODEL_ASSERT_((a) == (b))
#define ASSERT_NE(a, b) VELT_MODEL_ASSERT_((a) != (b))
#define ASSERT_LT(a, b) VELT_MODEL_ASSERT_((a) < (b))
#define ASSERT_LE(a, b) VELT_MODEL_ASSERT_((a) <= (b))
#define ASSERT_GT(a, b) VELT_MODEL_ASSERT_((a) > (b))
#define ASSERT_GE(a, b) VELT_MODEL_ASSERT_((a) >= (b))
#define ASSERT_TRUE(condition) VELT_MODEL_ASSERT_(static_cast<bool>(condition))
#define ASSERT_FALSE(condition) VELT_MODEL_ASSERT_(!static_cast<bool>(condition))
// The trace's text is GoogleTest's to print: left unevaluated.
#define SCOPED_TRACE(message) static_cast<void>(sizeof(message))

#endif
