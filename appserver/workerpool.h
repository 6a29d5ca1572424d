#pragma once
// A fixed set of worker threads, each with its own read-only database session
// and its own instances of the server objects, running the calls of every
// connection in arrival order.
#include "appserver.h"
#include "piecesender.h"
#include <QMutex>
#include <atomic>
#include <QWaitCondition>
#include <deque>
#include <optional>
#include <vector>

namespace appsrv {

class WorkerPool {
public:
    // Runs on the worker thread with the call's reply; a call it gives back
    // (the same desktop's next one, read meanwhile) runs at once on the same
    // worker, and its reply comes to the same function.
    using Done = std::function<std::optional<wire::Call>(const wire::Reply &)>;
    WorkerPool(const Config &cfg, const QHash<QString, ObjectFactory> &factories);
    ~WorkerPool();
    // Opens every session and runs the objects' probes; false with the reason.
    bool start(QString *why);
    void stop();
    // pieces: where the calls' large replies may go while they are made, or null.
    // role: the operator the calls run as (SET ROLE for each call, reset after
    // it); empty: the server's own role.
    void submit(wire::Call call, QString role, std::shared_ptr<PieceSender> pieces, Done done);
    // No call waits for a worker and the pool is not stopping: one may wait a
    // little for a desktop's next call.
    bool idle() const { return m_pending.load() <= 0 && !m_stopping.load(); }
    // Calls waiting for a worker.
    int queued() const { return std::max(0, m_pending.load()); }
private:
    class Worker;
    struct Job {
        wire::Call call;
        QString role;
        std::shared_ptr<PieceSender> pieces;
        Done done;
    };
    bool next(Job *job);
    const Config &m_cfg;
    const QHash<QString, ObjectFactory> &m_factories;
    std::vector<std::unique_ptr<Worker>> m_workers;
    QMutex m_mutex;
    QWaitCondition m_wake;
    std::deque<Job> m_jobs;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_pending{0};   // jobs queued, read without the lock
    std::atomic<int> m_spinning{0};  // a worker waiting awake for the next job
    static constexpr qint64 kSpinNs = 150000;
};

}  // namespace appsrv
