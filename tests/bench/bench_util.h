// Small helpers the benchmarks share: timing and sorting samples.
#pragma once

#include <windows.h>

#include <stdlib.h>

inline int CompareDoubles(const void* a, const void* b) {
    const double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return x < y ? -1 : x > y;
}

inline LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline double Milliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return ticks * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The median and the 99th percentile of `count` samples, which it sorts.
inline void Percentiles(double* samples, int count, double* median, double* p99) {
    qsort(samples, static_cast<size_t>(count), sizeof samples[0], CompareDoubles);
    *median = samples[count / 2];
    *p99 = samples[count * 99 / 100];
}

// The lower of a best figure so far and a new one (negative: none).
inline double Lower(double best, double figure) {
    return figure >= 0 && figure < best ? figure : best;
}

// The median of `count` samples, which it sorts.
inline double MedianOf(double* samples, int count) {
    if (count <= 0)
        return -1;
    qsort(samples, static_cast<size_t>(count), sizeof samples[0], CompareDoubles);
    return samples[count / 2];
}
