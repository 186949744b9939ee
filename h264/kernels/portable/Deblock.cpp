#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

namespace h264::portable {

using kernels::absDiff;
using kernels::clip1;
using kernels::clip3;

namespace {

// Threshold byte of sample i (0..7): byte i / 2 of the word, least significant first.
int pairByte(uint32_t word, int i) {
    return (word >> (8 * (i / 2))) & 0xFF;
}

bool active(int p1, int p0, int q0, int q1, int alpha, int beta) {
    return absDiff(p0, q0) < alpha && absDiff(p1, p0) < beta && absDiff(q1, q0) < beta;
}

int normalDelta(int p1, int p0, int q0, int q1, int tc) {
    return clip3(-tc, tc, ((q0 - p0) * 4 + (p1 - q1) + 4) >> 3);
}

void chromaNormal(uint8_t* p, uint8_t* q, uint32_t alpha, int beta, const uint8_t* tc0, int qStride) {
    for (int i = 0; i < 8; ++i) {
        const int p1 = p[i], p0 = p[8 + i], q0 = q[i], q1 = q[qStride + i];
        if (!active(p1, p0, q0, q1, pairByte(alpha, i), beta))
            continue;
        const int delta = normalDelta(p1, p0, q0, q1, tc0[i / 2] + 1);
        p[8 + i] = clip1(p0 + delta);
        q[i] = clip1(q0 - delta);
    }
}

void chromaStrong(uint8_t* p, uint8_t* q, int alpha, int beta) {
    for (int i = 0; i < 8; ++i) {
        const int p1 = p[i], p0 = p[8 + i], q0 = q[i], q1 = q[8 + i];
        if (!active(p1, p0, q0, q1, alpha, beta))
            continue;
        p[8 + i] = static_cast<uint8_t>((2 * p1 + p0 + q1 + 2) >> 2);
        q[i] = static_cast<uint8_t>((2 * q1 + q0 + p1 + 2) >> 2);
    }
}

} // namespace

void FilterLumaEdgeNormal(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta, const uint8_t* tc0) {
    const int b = beta & 0xFF;
    for (int i = 0; i < 8; ++i) {
        const int p2 = p[8 + i], p1 = p[16 + i], p0 = p[24 + i];
        const int q0 = q[i], q1 = q[8 + i], q2 = q[16 + i];
        if (!active(p1, p0, q0, q1, pairByte(alpha, i), b))
            continue;
        const int c0 = tc0[i / 2];
        const bool filterP1 = absDiff(p2, p0) < b;
        const bool filterQ1 = absDiff(q2, q0) < b;
        const int delta = normalDelta(p1, p0, q0, q1, c0 + filterP1 + filterQ1);
        const int average = (p0 + q0 + 1) >> 1;
        p[24 + i] = clip1(p0 + delta);
        q[i] = clip1(q0 - delta);
        if (filterP1)
            p[16 + i] = static_cast<uint8_t>(p1 + clip3(-c0, c0, (p2 + average - 2 * p1) >> 1));
        if (filterQ1)
            q[8 + i] = static_cast<uint8_t>(q1 + clip3(-c0, c0, (q2 + average - 2 * q1) >> 1));
    }
}

void FilterLumaEdgeStrong(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta) {
    const int a = alpha & 0xFF, b = beta & 0xFF;
    for (int i = 0; i < 8; ++i) {
        const int p3 = p[i], p2 = p[8 + i], p1 = p[16 + i], p0 = p[24 + i];
        const int q0 = q[i], q1 = q[8 + i], q2 = q[16 + i], q3 = q[24 + i];
        if (!active(p1, p0, q0, q1, a, b))
            continue;
        const bool close = absDiff(p0, q0) < (a >> 2) + 2;
        if (close && absDiff(p2, p0) < b) {
            p[24 + i] = static_cast<uint8_t>((p2 + 2 * p1 + 2 * p0 + 2 * q0 + q1 + 4) >> 3);
            p[16 + i] = static_cast<uint8_t>((p2 + p1 + p0 + q0 + 2) >> 2);
            p[8 + i] = static_cast<uint8_t>((2 * p3 + 3 * p2 + p1 + p0 + q0 + 4) >> 3);
        } else {
            p[24 + i] = static_cast<uint8_t>((2 * p1 + p0 + q1 + 2) >> 2);
        }
        if (close && absDiff(q2, q0) < b) {
            q[i] = static_cast<uint8_t>((p1 + 2 * p0 + 2 * q0 + 2 * q1 + q2 + 4) >> 3);
            q[8 + i] = static_cast<uint8_t>((p0 + q0 + q1 + q2 + 2) >> 2);
            q[16 + i] = static_cast<uint8_t>((2 * q3 + 3 * q2 + q1 + q0 + p0 + 4) >> 3);
        } else {
            q[i] = static_cast<uint8_t>((2 * q1 + q0 + p1 + 2) >> 2);
        }
    }
}

void FilterChromaEdgesNormal(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta, const uint8_t* tc0, int qStride) {
    chromaNormal(cbP, cbQ, alpha, beta & 0xFF, tc0, qStride);
    chromaNormal(crP, crQ, alpha, beta & 0xFF, tc0, qStride);
}

void FilterChromaEdgesStrong(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta) {
    chromaStrong(cbP, cbQ, alpha & 0xFF, beta & 0xFF);
    chromaStrong(crP, crQ, alpha & 0xFF, beta & 0xFF);
}

} // namespace h264::portable
