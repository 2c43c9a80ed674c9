#include "tests/reference/state_comparison.h"

#include <type_traits>

namespace stepref {
namespace {
// Whole arrays at once, but an extended value only by the bytes that carry it.
template <typename T, std::size_t N>
bool sameArray(const T (&a)[N], const T (&b)[N]) {
    if (!std::is_same_v<T, extended> || sizeof(T) == kExtendedBytes) return std::memcmp(a, b, sizeof a) == 0;
    for (std::size_t i = 0; i < N; ++i)
        if (!sameBits(a[i], b[i])) return false;
    return true;
}
}  // namespace

std::string stateDifference(const ProcessingState& p, const State& r) {
    const ::BandPass& pb = p.bandPass;
    const BandPass& rb = r.bandPass;
    const extended weights[2][7] = {{pb.frequency, pb.resonance, pb.a0, pb.a1, pb.a2, pb.b1, pb.b2},
                                    {rb.frequency, rb.resonance, rb.a0, rb.a1, rb.a2, rb.b1, rb.b2}};
    const extended states[2][4] = {{pb.state1L, pb.state2L, pb.state1R, pb.state2R},
                                   {rb.state1L, rb.state2L, rb.state1R, rb.state2R}};
    if (!sameArray(weights[0], weights[1])) return "band-pass weights";
    if (!sameArray(states[0], states[1])) return "band-pass states";
    if (!sameArray(p.outHistoryL, r.outHistoryL) || !sameArray(p.outHistoryR, r.outHistoryR)) return "histories";
    if (!sameArray(p.delayAL, r.delayAL) || !sameArray(p.delayAR, r.delayAR)) return "delay A";
    if (!sameArray(p.delayBL, r.delayBL) || !sameArray(p.delayBR, r.delayBR)) return "delay B";
    if (!sameArray(p.delayCL, r.delayCL) || !sameArray(p.delayCR, r.delayCR)) return "delay C";
    if (!sameArray(p.delayDL, r.delayDL) || !sameArray(p.delayDR, r.delayDR)) return "delay D";
    const int32 positions[2][4] = {{p.delayIndexA, p.delayIndexB, p.delayIndexC, p.delayIndexD},
                                   {r.delayIndexA, r.delayIndexB, r.delayIndexC, r.delayIndexD}};
    if (!sameArray(positions[0], positions[1])) return "delay positions";
    if (!sameBits(p.slewPrevL, r.slewPrevL) || !sameBits(p.slewPrevR, r.slewPrevR)) return "slew";
    if (!sameArray(p.onePoleL, r.onePoleL) || !sameArray(p.onePoleR, r.onePoleR)) return "one-pole states";
    if (p.noiseStateL != r.noiseStateL || p.noiseStateR != r.noiseStateR) return "noise words";
    return {};
}

}  // namespace stepref
