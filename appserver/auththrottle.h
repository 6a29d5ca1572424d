#pragma once
// Slows down wrong tokens per client address without ever refusing a right
// one: behind a NAT or a load balancer many desktops share an address, and one
// that is misconfigured must not lock the others out. The table is bounded and
// forgets an address a window after its last failure.
#include <QHash>
#include <QString>

namespace appsrv {

class AuthThrottle {
public:
    // allowed: failures per address and window answered after baseMs; each
    // further one waits twice as long as the one before, up to maxMs.
    explicit AuthThrottle(int allowed = 5, int windowMs = 60000, int capacity = 4096, int baseMs = 300, int maxMs = 5000);
    // Records a wrong token from peer at now (ms) and returns how long to wait
    // before answering it; *over is set when the address is past its allowance.
    int failed(const QString &peer, qint64 now, bool *over = nullptr);
    // Forgets the addresses whose window has passed.
    void prune(qint64 now);
    int size() const { return int(m_failures.size()); }

private:
    struct Entry {
        int count = 0;
        qint64 first = 0, last = 0;
    };
    int m_allowed, m_windowMs, m_capacity, m_baseMs, m_maxMs;
    QHash<QString, Entry> m_failures;
};

}  // namespace appsrv
