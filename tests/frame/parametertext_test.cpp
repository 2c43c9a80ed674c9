// Number-to-text helpers, and the default text operations reached through the dispatcher.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

enum class Op { Float, DB, Hz, Ms, Int };

struct Row {
    Op op;
    double input;
    int32 maxLen;
    const char* text;
};

// Runs one helper into a guarded buffer and checks nothing lands past text[maxLen].
std::string render(AudioEffect& e, Op op, double input, int32 maxLen) {
    char buffer[40];
    std::memset(buffer, '#', sizeof(buffer));
    const auto f = static_cast<float>(input);
    switch (op) {
        case Op::Float: e.float2string(f, buffer, maxLen); break;
        case Op::DB: e.dB2string(f, buffer, maxLen); break;
        case Op::Hz: e.Hz2string(f, buffer, maxLen); break;
        case Op::Ms: e.ms2string(f, buffer, maxLen); break;
        case Op::Int: e.int2string(static_cast<int32>(input), buffer, maxLen); break;
    }
    for (std::size_t i = static_cast<std::size_t>(maxLen) + 1; i < sizeof(buffer); ++i)
        if (buffer[i] != '#') return "wrote past maxLen";
    if (std::memchr(buffer, '\0', static_cast<std::size_t>(maxLen) + 1) == nullptr)
        return "no terminator";
    return buffer;
}

TEST(ParameterText, ProducesTheEightCharacterForms) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {Op::Float, 0.0, 8, "0.000000"},
        {Op::Float, 0.5, 8, "0.500000"},
        {Op::Float, 1.5, 8, "1.500000"},
        {Op::Float, 12.345, 8, "12.34500"},
        {Op::Float, 123.456, 8, "123.4560"},
        {Op::Float, 44100.0, 8, "44100.00"},
        {Op::Float, 1234567.0, 8, "1234567."},
        {Op::Float, -0.5, 8, "-0.50000"},
        {Op::Float, -1.25, 8, "-1.25000"},
        {Op::Float, -123456.0, 8, "-123456."},
        {Op::Float, 3.14159, 8, "3.141590"},
        {Op::Float, 0.999999, 8, "0.999998"},
        {Op::Float, 0.0000001, 8, "0.000000"},
        {Op::Float, 100000000.0, 8, "Huge!"},
        {Op::Float, 99999999.0, 8, "Huge!"},
        {Op::Float, -999999.0, 8, "-999999."},
        {Op::Float, -10000000.0, 8, "Huge!"},
        {Op::Float, 12.5, 3, "12."},
        {Op::Float, -0.0, 8, "0.000000"},
        {Op::Float, nan, 8, "0.000000"},
        {Op::Float, inf, 8, "Huge!"},
        {Op::Float, -inf, 8, "Huge!"},
        // Integer parts too long for the point keep every digit and lose the point.
        {Op::Float, 12345678.0, 8, "12345678"},
        {Op::Float, 10000000.0, 8, "10000000"},
        {Op::Float, 99999992.0, 8, "99999992"},
        {Op::Float, 9999999.0, 8, "9999999."},
        {Op::Float, -1234567.0, 8, "-1234567"},
        {Op::Float, -1000000.0, 8, "-1000000"},
        {Op::Float, -9999999.0, 8, "-9999999"},
        {Op::DB, 1.0, 8, "0.000000"},
        {Op::DB, 0.5, 8, "-6.02059"},
        {Op::DB, 2.0, 8, "6.020599"},
        {Op::DB, 0.001, 8, "-60.0000"},
        {Op::DB, 0.0, 8, "-oo"},
        {Op::DB, -1.0, 8, "-oo"},
        {Op::DB, nan, 8, "0.000000"},
        {Op::Hz, 100.0, 8, "441.0000"},
        {Op::Hz, 441.0, 8, "100.0000"},
        {Op::Hz, 1.0, 8, "44100.00"},
        {Op::Hz, 0.0, 8, "0.000000"},
        {Op::Ms, 44100.0, 8, "1000.000"},
        {Op::Ms, 441.0, 8, "10.00000"},
        {Op::Ms, 1.0, 8, "0.022675"},
        {Op::Ms, 0.0, 8, "0.000000"},
        {Op::Int, 0, 8, "0"},
        {Op::Int, 7, 8, "7"},
        {Op::Int, 1000, 8, "1000"},
        {Op::Int, 99999999, 8, "99999999"},
        {Op::Int, 100000000, 8, "Huge!"},
        {Op::Int, -5, 8, "-5"},
        {Op::Int, -123456789, 10, "-123456789"},
        {Op::Int, -999999999, 10, "-999999999"},
        {Op::Int, 1234, 2, "12"},
        {Op::Int, -1000000000, 10, "Huge!"},
        {Op::Int, INT_MIN, 10, "Huge!"},
        {Op::Int, INT_MAX, 10, "Huge!"},
        {Op::Float, 1.5, 0, ""},
        {Op::Int, 5, 0, ""},
        {Op::DB, 0.0, 2, "-o"},
        {Op::Float, 100000000.0, 3, "Hug"},
    };
    TestEffect effect(nullptr);
    for (const Row& row : rows)
        EXPECT_EQ(render(effect, row.op, row.input, row.maxLen), row.text)
            << "op " << static_cast<int>(row.op) << " input " << row.input << " maxLen " << row.maxLen;
}

TEST(ParameterText, FollowsTheSampleRate) {
    TestEffect effect(nullptr);
    effect.setSampleRate(48000.0f);
    EXPECT_EQ(render(effect, Op::Hz, 480.0, 8), "100.0000");
    EXPECT_EQ(render(effect, Op::Ms, 48.0, 8), "1.000000");
    effect.setSampleRate(0.0f);
    EXPECT_EQ(render(effect, Op::Ms, 1.0, 8), "Huge!");
    EXPECT_EQ(render(effect, Op::Ms, 0.0, 8), "0.000000");
    effect.setSampleRate(1e-30f);
    EXPECT_EQ(render(effect, Op::Ms, 3e38, 8), "Huge!");  // beyond any float
}

TEST(ParameterText, WritesNothingWithoutABuffer) {
    TestEffect e(nullptr);
    char buffer[12];
    std::memset(buffer, '#', sizeof(buffer));
    for (auto [text, maxLen] : {std::pair<char*, int32>{buffer, -1}, {buffer, INT_MIN}, {nullptr, 8}}) {
        e.float2string(1.0f, text, maxLen);
        e.int2string(1, text, maxLen);
        e.dB2string(0.0f, text, maxLen);
        e.Hz2string(1.0f, text, maxLen);
        e.ms2string(1.0f, text, maxLen);
    }
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(sizeof(buffer), '#'));
}

TEST(ParameterText, DefaultTextRequestsGiveEmptyTextAndSurviveNullBuffers) {
    TestEffect effect(nullptr);
    for (int32 opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
                         effGetEffectName, effGetVendorString, effGetProductString,
                         effGetErrorText, effSetProgramName, effString2Parameter,
                         effShellGetNextPlugin, effGetProgramNameIndexed}) {
        char buffer[8] = "garbage";
        const bool answersText = opcode >= effGetProgramName && opcode <= effGetParamName;
        EXPECT_EQ(effect.dispatcher(opcode, 0, 0, buffer, 0.0f), 0) << opcode;
        EXPECT_STREQ(buffer, answersText ? "" : "garbage") << opcode;
        EXPECT_EQ(effect.dispatcher(opcode, 0, 0, nullptr, 0.0f), 0) << opcode;
    }
    EXPECT_EQ(effect.AudioEffect::getChunk(nullptr, true), 0);
    EXPECT_EQ(effect.AudioEffect::setChunk(nullptr, 4, false), 0);
}

}  // namespace
}  // namespace frametest
