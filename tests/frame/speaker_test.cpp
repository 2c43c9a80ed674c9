// Speaker arrangements built, copied and matched by the effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

bool allZero(const void* p, std::size_t n) {
    const auto* bytes = static_cast<const unsigned char*>(p);
    return std::all_of(bytes, bytes + n, [](unsigned char b) { return b == 0; });
}

TEST(Speakers, AllocationGivesAZeroedBlockAndImpossibleCountsNone) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 2));
    EXPECT_EQ(arrangement->type, 0);
    EXPECT_EQ(arrangement->numChannels, 2);
    // Header and two speakers, 232 bytes; the sanitizer build catches a shorter block,
    // and its leak check a block not released on reallocation.
    EXPECT_TRUE(allZero(speakerAt(arrangement, 0), 2 * sizeof(VstSpeakerProperties)));
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 4));
    for (int32 channels : {-1, INT_MIN}) {
        EXPECT_FALSE(effect.allocateArrangement(&arrangement, channels));
        EXPECT_EQ(arrangement, nullptr);
    }
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 0));
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_TRUE(effect.deallocateArrangement(nullptr));
}

// A speaker with garbage behind every field and a NaN payload that must survive a copy.
VstSpeakerProperties speaker(const std::string& name, int seed) {
    VstSpeakerProperties s;
    std::memset(&s, 0x5A, sizeof(s));
    std::memcpy(s.name, name.c_str(), std::min(name.size() + 1, sizeof(s.name)));
    s.azimuth = 0.25f * seed;
    s.elevation = -0.5f * seed;
    s.radius = 1.0f + seed;
    const unsigned nanBits = 0x7FC01234u + static_cast<unsigned>(seed);
    std::memcpy(&s.reserved, &nanBits, sizeof(nanBits));
    s.type = 100 + seed;
    for (std::size_t i = 0; i < sizeof(s.future); ++i) s.future[i] = static_cast<char>(seed + i);
    return s;
}

void expectCopied(const VstSpeakerProperties& to, const VstSpeakerProperties& from,
                  const std::string& name) {
    const std::size_t used = std::min<std::size_t>(name.size(), 63);
    EXPECT_EQ(std::string(to.name), name.substr(0, used));
    EXPECT_TRUE(allZero(to.name + used, sizeof(to.name) - used)) << "zero-filled behind the name";
    EXPECT_EQ(to.type, from.type);
    EXPECT_EQ(std::memcmp(&to.azimuth, &from.azimuth, 16), 0) << "four floats bit for bit";
    EXPECT_EQ(std::memcmp(to.future, from.future, sizeof(to.future)), 0);
}

TEST(Speakers, CopySpeakerCutsTheNameAndCopiesEveryField) {
    TestEffect effect(nullptr);
    VstSpeakerProperties to = speaker("previous occupant", 9);
    for (const std::string& name : {std::string(70, 'L'), std::string("C")}) {
        VstSpeakerProperties from = speaker(name, static_cast<int>(name.size()));
        ASSERT_TRUE(effect.copySpeaker(&to, &from));
        expectCopied(to, from, name);
        ASSERT_TRUE(effect.copySpeaker(&to, &to));
        expectCopied(to, from, name);
        EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
        EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
    }
}

TEST(Speakers, MatchArrangementReproducesTheSource) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement* source = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&source, 6));
    source->type = 8;
    const std::string names[6] = {"L", "R", "C", "Lfe", "Ls", std::string(64, 'S')};
    for (int i = 0; i < 6; ++i) *speakerAt(source, i) = speaker(names[i], i);

    VstSpeakerArrangement* target = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&target, 1));
    ASSERT_TRUE(effect.matchArrangement(&target, source));
    EXPECT_EQ(target->type, 8);
    ASSERT_EQ(target->numChannels, 6);
    for (int i = 0; i < 6; ++i) expectCopied(*speakerAt(target, i), *speakerAt(source, i), names[i]);

    VstSpeakerArrangement* const before = target;
    EXPECT_FALSE(effect.matchArrangement(&target, nullptr));
    EXPECT_EQ(target, before);

    source->numChannels = -3;  // a source no arrangement can be made like
    EXPECT_FALSE(effect.matchArrangement(&target, source));
    EXPECT_EQ(target, nullptr);
    effect.deallocateArrangement(&source);
}

}  // namespace
}  // namespace frametest
