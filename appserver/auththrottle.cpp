#include "auththrottle.h"

#include <algorithm>

namespace appsrv {

AuthThrottle::AuthThrottle(int allowed, int windowMs, int capacity, int baseMs, int maxMs)
    : m_allowed(std::max(1, allowed)), m_windowMs(windowMs), m_capacity(std::max(16, capacity)), m_baseMs(baseMs),
      m_maxMs(std::max(baseMs, maxMs))
{
}

int AuthThrottle::failed(const QString &peer, qint64 now, bool *over)
{
    auto it = m_failures.find(peer);
    if (it == m_failures.end()) {
        if (m_failures.size() >= m_capacity) prune(now);
        // Still full: many addresses failing at once. The oldest goes; each
        // address is still slowed from its own first failure on.
        if (m_failures.size() >= m_capacity) {
            auto oldest = std::min_element(m_failures.begin(), m_failures.end(),
                                           [](const Entry &a, const Entry &b) { return a.last < b.last; });
            m_failures.erase(oldest);
        }
        it = m_failures.insert(peer, Entry{0, now, now});
    } else if (now - it->first > m_windowMs) {
        *it = Entry{0, now, now};
    }
    ++it->count;
    it->last = now;
    const int beyond = it->count - m_allowed;
    if (over) *over = beyond > 0;
    if (beyond <= 0) return m_baseMs;
    qint64 wait = m_baseMs;
    for (int i = 0; i < beyond && wait < m_maxMs; ++i) wait *= 2;
    return int(std::min<qint64>(wait, m_maxMs));
}

void AuthThrottle::prune(qint64 now)
{
    for (auto it = m_failures.begin(); it != m_failures.end();)
        it = now - it->last > m_windowMs ? m_failures.erase(it) : std::next(it);
}

}  // namespace appsrv
