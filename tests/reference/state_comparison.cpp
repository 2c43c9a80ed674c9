#include "tests/reference/state_comparison.h"

namespace stepref {
namespace {
template <typename T, std::size_t N>
bool sameArray(const T (&a)[N], const T (&b)[N]) {
    return std::memcmp(a, b, sizeof(T) * N) == 0;
}
}  // namespace

std::string stateDifference(const ProcessingState& p, const State& r) {
    const ::BandPass& pb = p.bandPass;
    const BandPass& rb = r.bandPass;
    if (!sameBits(pb.frequency, rb.frequency) || !sameBits(pb.resonance, rb.resonance) ||
        !sameBits(pb.a0, rb.a0) || !sameBits(pb.a1, rb.a1) || !sameBits(pb.a2, rb.a2) ||
        !sameBits(pb.b1, rb.b1) || !sameBits(pb.b2, rb.b2))
        return "band-pass weights";
    if (!sameBits(pb.state1L, rb.state1L) || !sameBits(pb.state2L, rb.state2L) ||
        !sameBits(pb.state1R, rb.state1R) || !sameBits(pb.state2R, rb.state2R))
        return "band-pass states";
    for (int k = 0; k < kOutHistorySize; ++k) {
        if (!sameBits(p.outHistoryL[k], r.outHistoryL[k]))
            return "outHistoryL[" + std::to_string(k) + "]";
        if (!sameBits(p.outHistoryR[k], r.outHistoryR[k]))
            return "outHistoryR[" + std::to_string(k) + "]";
    }
    if (!sameArray(p.delayAL, r.delayAL) || !sameArray(p.delayAR, r.delayAR)) return "delay A";
    if (!sameArray(p.delayBL, r.delayBL) || !sameArray(p.delayBR, r.delayBR)) return "delay B";
    if (!sameArray(p.delayCL, r.delayCL) || !sameArray(p.delayCR, r.delayCR)) return "delay C";
    if (!sameArray(p.delayDL, r.delayDL) || !sameArray(p.delayDR, r.delayDR)) return "delay D";
    if (p.delayIndexA != r.delayIndexA || p.delayIndexB != r.delayIndexB ||
        p.delayIndexC != r.delayIndexC || p.delayIndexD != r.delayIndexD)
        return "delay positions";
    if (!sameBits(p.slewPrevL, r.slewPrevL) || !sameBits(p.slewPrevR, r.slewPrevR))
        return "slew";
    if (!sameArray(p.onePoleL, r.onePoleL) || !sameArray(p.onePoleR, r.onePoleR))
        return "one-pole states";
    if (p.noiseStateL != r.noiseStateL || p.noiseStateR != r.noiseStateR) return "noise words";
    return {};
}


}  // namespace stepref
