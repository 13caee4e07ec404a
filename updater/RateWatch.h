#pragma once
// The rate rules of a file's transfer, fed with the bytes taken so far as the
// transfer goes on: it fails when fewer than kMinRateBytes arrive in any
// kMinRateWindowMs from its start, or, once the first byte is in, when less
// than kMinAverageRate bytes a second arrive on average over any kAverageWindowMs.
#include <windows.h>

#include <deque>

constexpr unsigned long long kMinRateBytes = 4096;
constexpr DWORD kMinRateWindowMs = 15000;
constexpr unsigned long long kMinAverageRate = 4096;
constexpr DWORD kAverageWindowMs = 30000;

class CRateWatch {
public:
    explicit CRateWatch(DWORD now);
    // False when too little arrived by either rule.
    bool Sample(DWORD now, unsigned long long total);

private:
    struct Point {
        DWORD tick;
        unsigned long long total;
    };
    // Adds the sample to points, keeps those of the last window (and the one
    // just before it); true when the window is full and fewer than minBytes came in it.
    static bool TooLittle(std::deque<Point>& points, DWORD now, unsigned long long total, DWORD window,
                          unsigned long long minBytes);

    std::deque<Point> m_sinceStart;
    std::deque<Point> m_sinceFirstByte;
};
