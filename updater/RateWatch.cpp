#include "RateWatch.h"

CRateWatch::CRateWatch(DWORD now) { m_sinceStart.push_back({now, 0}); }

bool CRateWatch::Sample(DWORD now, unsigned long long total) {
    bool slow = TooLittle(m_sinceStart, now, total, kMinRateWindowMs, kMinRateBytes);
    // The average counts from the sample that saw the first bytes.
    if (m_sinceFirstByte.empty() && total > 0) m_sinceFirstByte.push_back({now, total});
    if (!m_sinceFirstByte.empty())
        slow = TooLittle(m_sinceFirstByte, now, total, kAverageWindowMs, kMinAverageRate * kAverageWindowMs / 1000) ||
               slow;
    return !slow;
}

bool CRateWatch::TooLittle(std::deque<Point>& points, DWORD now, unsigned long long total, DWORD window,
                           unsigned long long minBytes) {
    points.push_back({now, total});
    while (points.size() >= 2 && now - points[1].tick >= window) points.pop_front();
    const Point& oldest = points.front();
    return now - oldest.tick >= window && total - oldest.total < minBytes;
}
