// Every conversion the core's tests run, whatever its file, hands out all
// it makes: a codec that gives out more at END than its buffer promised
// would lose the rest without a word.
#include <gtest/gtest.h>

#include "platform/acm/Driver.h"

namespace {

class NothingLeftAtEnd : public ::testing::Environment {
public:
    void TearDown() override { EXPECT_EQ(acm::OutputLeftAtEnd(), 0u) << "bytes made at END that did not fit"; }
};

const auto* const g_check = ::testing::AddGlobalTestEnvironment(new NothingLeftAtEnd);

}  // namespace
