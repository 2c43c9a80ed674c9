// Number-to-text helpers, and the default text operations reached through the dispatcher.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

enum class Op { Float, DB, Hz, Ms, Int };

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
    return std::memchr(buffer, '\0', static_cast<std::size_t>(maxLen) + 1) ? buffer : "no terminator";
}

TEST(ParameterText, ProducesTheEightCharacterForms) {
    const struct {
        Op op;
        double input;
        const char* text;
        int32 maxLen = 8;
        float sampleRate = 44100.0f;  // for the helpers that count samples
    } rows[] = {
        // Eight characters, fraction digits truncated, never rounded.
        {Op::Float, 0.0, "0.000000"}, {Op::Float, 12.345, "12.34500"}, {Op::Float, 1234567.0, "1234567."},
        {Op::Float, -0.5, "-0.50000"}, {Op::Float, -123456.0, "-123456."}, {Op::Float, 0.999999, "0.999998"},
        {Op::Float, 0.0000001, "0.000000"}, {Op::Float, -0.0, "0.000000"}, {Op::Float, NAN, "0.000000"},
        {Op::Float, 99999999.0, "Huge!"}, {Op::Float, -10000000.0, "Huge!"}, {Op::Float, INFINITY, "Huge!"},
        // Integer parts too long for the point keep every digit and lose the point.
        {Op::Float, 12345678.0, "12345678"}, {Op::Float, 99999992.0, "99999992"},
        {Op::Float, 9999999.0, "9999999."}, {Op::Float, -9999999.0, "-9999999"},
        {Op::DB, 0.5, "-6.02059"}, {Op::DB, 0.001, "-60.0000"}, {Op::DB, NAN, "0.000000"}, {Op::DB, -1.0, "-oo"},
        {Op::Hz, 100.0, "441.0000"}, {Op::Hz, 480.0, "100.0000", 8, 48000}, {Op::Hz, 0.0, "0.000000"},
        {Op::Ms, 1.0, "0.022675"}, {Op::Ms, 48.0, "1.000000", 8, 48000}, {Op::Ms, 0.0, "0.000000"},
        // No special case for rate 0; a result beyond any float is infinite.
        {Op::Ms, 1.0, "Huge!", 8, 0}, {Op::Ms, 0.0, "0.000000", 8, 0}, {Op::Ms, 3e38, "Huge!", 8, 1e-30f},
        {Op::Int, 0, "0"}, {Op::Int, -5, "-5"}, {Op::Int, 99999999, "99999999"}, {Op::Int, 100000000, "Huge!"},
        {Op::Int, -999999999, "-999999999", 10}, {Op::Int, -1000000000, "Huge!", 10}, {Op::Int, INT_MIN, "Huge!", 10},
        // Every text is cut to maxLen characters.
        {Op::Float, 12.5, "12.", 3}, {Op::Int, 1234, "12", 2}, {Op::Float, 1.5, "", 0},
        {Op::DB, 0.0, "-o", 2}, {Op::Float, 100000000.0, "Hug", 3},
    };
    TestEffect effect(nullptr);
    for (const auto& row : rows) {
        effect.setSampleRate(row.sampleRate);
        EXPECT_EQ(render(effect, row.op, row.input, row.maxLen), row.text)
            << "op " << static_cast<int>(row.op) << " input " << row.input << " maxLen " << row.maxLen;
    }
}

TEST(ParameterText, WithoutABufferNothingIsWritten) {
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
    // The base text requests answer an empty text, and survive a missing buffer.
    for (int32 opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        char text[8] = "garbage";
        e.dispatcher(opcode, 0, 0, text, 0.0f);
        EXPECT_STREQ(text, "") << opcode;
        e.dispatcher(opcode, 0, 0, nullptr, 0.0f);
    }
    EXPECT_EQ(e.AudioEffect::getChunk(nullptr, true), 0);
}

}  // namespace
}  // namespace frametest
