#pragma once
// A fixed set of worker threads, each with its own read-only database session
// and its own instances of the server objects, running the calls of every
// connection in arrival order.
#include "appserver.h"
#include <QMutex>
#include <atomic>
#include <QWaitCondition>
#include <deque>
#include <vector>

namespace appsrv {

class WorkerPool {
public:
    using Done = std::function<void(const wire::Reply &)>;
    WorkerPool(const Config &cfg, const QHash<QString, ObjectFactory> &factories);
    ~WorkerPool();
    // Opens every session and runs the objects' probes; false with the reason.
    bool start(QString *why);
    void stop();
    // done runs on the worker thread.
    void submit(wire::Call call, Done done);
private:
    class Worker;
    struct Job {
        wire::Call call;
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
