// The record a host receives from `main`, checked field by field.
#pragma once

#include "host/vst_abi.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace vorblexter::testing {

// Identity, channel counts, flags, version, the five entries and every field that must stay zero.
inline void expectFinishedRecord(const AEffect& effect)
{
    EXPECT_EQ(effect.magic, 0x56737450);
    EXPECT_EQ(effect.numPrograms, 1);
    EXPECT_EQ(effect.numParams, 8);
    EXPECT_EQ(effect.numInputs, 2);
    EXPECT_EQ(effect.numOutputs, 2);
    EXPECT_EQ(effect.flags, 24);
    EXPECT_EQ(effect.uniqueID, 0x56726278);
    EXPECT_EQ(effect.version, 1);
    EXPECT_EQ(effect.initialDelay, 0);
    EXPECT_EQ(effect.ioRatio, 1.0f);
    EXPECT_EQ(effect.user, nullptr);
    EXPECT_TRUE(effect.resvd1 == 0 && effect.resvd2 == 0 && effect.realQualities == 0 &&
                effect.offQualities == 0);
    EXPECT_TRUE(effect.dispatcher && effect.process && effect.processReplacing &&
                effect.setParameter && effect.getParameter);
    const std::array<char, sizeof effect.future> zeros{};
    EXPECT_EQ(std::memcmp(effect.future, zeros.data(), zeros.size()), 0);
}

} // namespace vorblexter::testing
