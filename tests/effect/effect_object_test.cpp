// The effect object: parameter, display texts, chunk, program name, capabilities, seeding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "effect/monitor_mode.h"
#include "tests/effect/effect_test_util.h"

namespace {

std::string display(Vellicor& e) {
    char text[9];
    std::memset(text, 'x', sizeof text);
    e.getParameterDisplay(0, text);
    return std::string(text, strnlen(text, sizeof text));
}

std::string displayFor(float value) {
    auto e = testutil::makeEffect();
    e->setParameter(0, value);
    return display(*e);
}

TEST(MonitorParameter, EachModeStartsAtItsTabledValue) {
    const double lowest[kNumModes] = {0.0,     0.05883, 0.11765, 0.17648, 0.23531, 0.29413,
                                      0.35296, 0.41179, 0.47062, 0.52944, 0.58827, 0.64710,
                                      0.70592, 0.76475, 0.82358, 0.88240, 0.94123};
    const char* names[kNumModes] = {"Out24",   "Out16",   "Peaks",  "Slew",   "Subs",   "Mono",
                                    "Side",    "Vinyl",   "Aurat",  "MonoRat", "MonoLat",
                                    "Phone",   "Cans A",  "Cans B", "Cans C", "Cans D", "V Trick"};
    for (int k = 0; k < kNumModes; ++k) {
        EXPECT_EQ(displayFor(static_cast<float>(lowest[k] + 1e-5)), names[k]) << k;
        if (k > 0) {
            EXPECT_EQ(displayFor(static_cast<float>(lowest[k] - 1e-5)), names[k - 1]) << k;
        }
    }
    EXPECT_EQ(displayFor(1.0f), "V Trick");
    EXPECT_EQ(displayFor(0.5f), "Aurat");
    EXPECT_EQ(displayFor(0.94f), "Cans D");
    EXPECT_EQ(displayFor(0.9413f), "V Trick");
}

TEST(MonitorParameter, ValuesOutsideTheRangeAreStoredAndShowNoMode) {
    auto e = testutil::makeEffect();
    e->setParameter(0, 1.5f);
    EXPECT_EQ(e->getParameter(0), 1.5f);
    EXPECT_EQ(display(*e), "");  // mode 25: an empty, terminated text
    EXPECT_EQ(displayFor(-0.05f), "Out24");  // truncation toward zero
    EXPECT_EQ(displayFor(-0.1f), "");
    EXPECT_EQ(displayFor(std::numeric_limits<float>::quiet_NaN()), "");
    EXPECT_EQ(displayFor(std::numeric_limits<float>::infinity()), "");
    EXPECT_EQ(displayFor(3e38f), "");
    EXPECT_EQ(monitorModeOf(std::numeric_limits<float>::quiet_NaN()), kModeUnrepresentable);
    EXPECT_EQ(monitorModeOf(-3e38f), kModeUnrepresentable);
    EXPECT_EQ(monitorModeOf(1e8f), static_cast<int32>(1e8 * 16.999));
}

TEST(MonitorParameter, NameLabelAndOtherIndices) {
    auto e = testutil::makeEffect();
    char text[9];
    e->getParameterName(0, text);
    EXPECT_STREQ(text, "Monitor");
    std::memset(text, 'x', sizeof text);
    e->getParameterLabel(0, text);
    for (char c : text) EXPECT_EQ(c, '\0');
    for (int32 index : {1, -1, 1000}) {
        std::memset(text, 'x', sizeof text);
        e->getParameterName(index, text);
        EXPECT_STREQ(text, "");
        std::memset(text, 'x', sizeof text);
        e->getParameterDisplay(index, text);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(e->getParameter(index), 0.0f);
    }
    // Null buffers are ignored.
    e->getParameterName(0, nullptr);
    e->getParameterDisplay(0, nullptr);
    e->getParameterLabel(0, nullptr);
    e->getProgramName(nullptr);
    e->setProgramName(nullptr);
    EXPECT_FALSE(e->getEffectName(nullptr));
}

TEST(Chunk, SavesTheParameterAsANativeFloat) {
    auto e = testutil::makeEffect();
    void* data = nullptr;
    ASSERT_EQ(e->getChunk(&data, false), 4);
    float saved;
    std::memcpy(&saved, data, 4);
    EXPECT_EQ(saved, 0.0f);

    e->setParameter(0, 0.625f);
    void* again = nullptr;
    ASSERT_EQ(e->getChunk(&again, true), 4);
    EXPECT_EQ(again, data) << "one block, reused";
    std::memcpy(&saved, again, 4);
    EXPECT_EQ(saved, 0.625f);
    EXPECT_EQ(e->getChunk(nullptr, false), 0);
}

TEST(Chunk, RestoreClampsAndRefusesBrokenChunks) {
    auto e = testutil::makeEffect();
    auto restore = [&](float v, int32 bytes = 4) {
        unsigned char block[8] = {};
        std::memcpy(block, &v, 4);
        EXPECT_EQ(e->setChunk(block, bytes, false), 0);
        return e->getParameter(0);
    };
    EXPECT_EQ(restore(-0.5f), 0.0f);
    EXPECT_EQ(restore(1.5f), 1.0f);
    EXPECT_EQ(restore(0.25f), 0.25f);
    EXPECT_EQ(restore(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(restore(std::numeric_limits<float>::infinity()), 1.0f);
    restore(0.25f);
    EXPECT_EQ(restore(0.75f, 3), 0.25f) << "a short chunk changes nothing";
    EXPECT_EQ(restore(0.75f, -1), 0.25f);
    EXPECT_EQ(e->setChunk(nullptr, 4, false), 0);
    EXPECT_EQ(e->getParameter(0), 0.25f);
}

TEST(ProgramName, DefaultAndCutTo24Characters) {
    auto e = testutil::makeEffect();
    char name[25];
    e->getProgramName(name);
    EXPECT_STREQ(name, "Default");
    char longName[] = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
    e->setProgramName(longName);
    std::memset(name, 'x', sizeof name);
    e->getProgramName(name);
    EXPECT_STREQ(name, "abcdefghijklmnopqrstuvwx");
}

TEST(Capabilities, ExactWordsOnly) {
    auto e = testutil::makeEffect();
    for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "x2in2out"}) {
        std::string word = yes;
        EXPECT_EQ(e->canDo(word.data()), 1) << yes;
    }
    for (const char* no : {"X2in2out", "", "receiveVstMidiEvent", "x2in2out ", "bypass"}) {
        std::string word = no;
        EXPECT_EQ(e->canDo(word.data()), -1) << no;
    }
    EXPECT_EQ(e->canDo(nullptr), -1);
}

TEST(NoiseSeeding, TakesOneRandValuePerWordLeftFirst) {
    std::srand(42);
    const std::uint32_t r1 = static_cast<std::uint32_t>(std::rand());
    const std::uint32_t r2 = static_cast<std::uint32_t>(std::rand());
    const int r3 = std::rand();
    auto e = testutil::makeEffect(42);
    EXPECT_EQ(e->processingState().noiseStateL, 0u - r1);
    EXPECT_EQ(e->processingState().noiseStateR, 0u - r2);
    EXPECT_EQ(std::rand(), r3) << "exactly two values taken";
}

}  // namespace
