// Speaker arrangements built, copied and matched by the effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

// A speaker whose every byte differs from every other, so that a field filled from another
// one shows, with a NaN payload a copy must keep.
VstSpeakerProperties speaker(const std::string& name, int seed) {
    VstSpeakerProperties s;
    auto* bytes = reinterpret_cast<unsigned char*>(&s);
    for (std::size_t i = 0; i < sizeof(s); ++i) bytes[i] = static_cast<unsigned char>(0x40 + seed + i);
    const std::uint32_t nanBits = 0x7FC01234u + static_cast<std::uint32_t>(seed);
    std::memcpy(&s.reserved, &nanBits, sizeof(nanBits));
    std::memcpy(s.name, name.c_str(), std::min(name.size() + 1, sizeof(s.name)));
    return s;
}

// The record's fields, so that a failing copy names those it got wrong.
#define FIELD(f) {#f, offsetof(VstSpeakerProperties, f), sizeof(VstSpeakerProperties::f)}
const struct { const char* name; std::size_t offset, size; } kFields[] = {
    FIELD(azimuth), FIELD(elevation), FIELD(radius), FIELD(reserved), FIELD(name), FIELD(type), FIELD(future)};
#undef FIELD

// The fields in which a copy differs from its source, whose name is cut to 63 characters
// and zero-filled behind; none for a true copy.
std::string wrongFields(const VstSpeakerProperties& to, VstSpeakerProperties from) {
    const std::size_t used = strnlen(from.name, sizeof(from.name) - 1);
    std::memset(from.name + used, 0, sizeof(from.name) - used);
    const auto *got = reinterpret_cast<const char*>(&to), *wanted = reinterpret_cast<const char*>(&from);
    std::string wrong;
    for (const auto& f : kFields)
        if (std::memcmp(got + f.offset, wanted + f.offset, f.size) != 0) wrong += std::string(" ") + f.name;
    return wrong;
}

TEST(Speakers, AllocationGivesAZeroedBlockAndImpossibleCountsNone) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 2));
    EXPECT_EQ(std::make_pair(arrangement->type, arrangement->numChannels), std::make_pair(0, 2));
    // Header and two speakers; the sanitizer build catches a shorter block, and its leak
    // check a block not released on reallocation.
    const VstSpeakerProperties zeroed[2] = {};
    EXPECT_EQ(std::memcmp(speakerAt(arrangement, 0), zeroed, sizeof(zeroed)), 0);
    // A refused count still releases the block held.
    for (int32 channels : {4, -1, INT_MIN}) {
        EXPECT_EQ(effect.allocateArrangement(&arrangement, channels), channels > 0);
        EXPECT_EQ(arrangement != nullptr, channels > 0);
    }
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 0));
    for (int i = 0; i < 2; ++i) EXPECT_TRUE(effect.deallocateArrangement(&arrangement));  // twice is harmless
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(nullptr));
}

TEST(Speakers, CopyAndMatchReproduceTheSource) {
    TestEffect effect(nullptr);
    VstSpeakerProperties to = speaker("previous occupant", 9);
    // The long name fills the array with no terminator; the short one follows it.
    for (const std::string& name : {std::string(70, 'L'), std::string("C")}) {
        VstSpeakerProperties from = speaker(name, static_cast<int>(name.size()));
        ASSERT_TRUE(effect.copySpeaker(&to, &from));
        EXPECT_EQ(wrongFields(to, from), "") << name;
        ASSERT_TRUE(effect.copySpeaker(&to, &to));  // onto itself
        EXPECT_EQ(wrongFields(to, from), "") << name;
    }
    EXPECT_FALSE(effect.copySpeaker(nullptr, &to));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));

    VstSpeakerArrangement *source = nullptr, *target = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&source, 6));
    source->type = 8;
    const std::string names[6] = {"L", "R", "C", "Lfe", "Ls", std::string(64, 'S')};
    for (int i = 0; i < 6; ++i) *speakerAt(source, i) = speaker(names[i], i);
    ASSERT_TRUE(effect.allocateArrangement(&target, 1));
    ASSERT_TRUE(effect.matchArrangement(&target, source));
    ASSERT_EQ(std::make_pair(target->type, target->numChannels), std::make_pair(8, 6));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(wrongFields(*speakerAt(target, i), *speakerAt(source, i)), "") << i;
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
