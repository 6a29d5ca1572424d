#include "workerpool.h"
#include "dbconnect.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <map>

namespace appsrv {

class WorkerPool::Worker : public QThread {
public:
    Worker(WorkerPool *pool, int n) : m_pool(pool), m_name(QStringLiteral("appsrv-worker-%1-%2").arg(serial()).arg(n)) {}
    QSemaphore ready;
    QString failure;
    void run() override
    {
        failure = openSession();
        ready.release();
        if (!failure.isEmpty()) return;
        Job job;
        while (m_pool->next(&job)) {
            std::optional<wire::Call> next = job.done(executeAs(job.role, job.call, job.pieces.get()));
            while (next) next = job.done(executeAs(job.role, *next, job.pieces.get()));
            job = {};  // what the job holds (a descriptor) goes now
        }
        m_objects.clear();
        m_db = QSqlDatabase();
        dbconnect::close(m_name);
    }
private:
    static int serial()
    {
        static QAtomicInt s;
        return s.fetchAndAddRelaxed(1);
    }
    QString openSession()
    {
        try {
            m_db = dbconnect::open(m_pool->m_cfg.database, m_name, true);
        } catch (const dbconnect::Error &e) {
            return QString::fromUtf8(e.what());
        }
        if (m_db.driverName() == QLatin1String("QSQLITE")) {
            // Opening any file succeeds; reading its catalogue tells whether it is a database at all.
            QSqlQuery q(m_db);
            if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"))) {
                qCWarning(lcServer) << "reading the catalogue failed:" << q.lastError().text();
                QString path = m_pool->m_cfg.database;
                if (path.startsWith(QLatin1String("sqlite:"))) path = path.mid(7);
                return QStringLiteral("O arquivo %1 não é um banco de dados SQLite.").arg(path);
            }
        }
        for (auto it = m_pool->m_factories.cbegin(); it != m_pool->m_factories.cend(); ++it) {
            const QString probe = object(it.key()).probe();
            if (probe.isEmpty()) continue;
            QSqlQuery q(m_db);
            if (!q.exec(probe)) {
                qCWarning(lcServer) << "probe of" << it.key() << "failed:" << q.lastError().text();
                return QStringLiteral("O banco de dados não tem as tabelas que o objeto %1 usa.").arg(it.key());
            }
        }
        return {};
    }
    ServerObject &object(const QString &name)
    {
        auto &o = m_objects[name];
        if (!o) o = m_pool->m_factories.value(name)();
        return *o;
    }
    bool alive()
    {
        QSqlQuery q(m_db);
        return q.exec(QStringLiteral("SELECT 1")) && q.next();
    }
    bool reopen()
    {
        m_db = QSqlDatabase();
        dbconnect::close(m_name);
        try {
            m_db = dbconnect::open(m_pool->m_cfg.database, m_name, true);
            return true;
        } catch (const dbconnect::Error &e) {
            qCWarning(lcServer) << m_name << "could not reopen its session:" << e.what();
            return false;
        }
    }
    // A call of an operator runs under its role, so that the database's
    // policies decide what it reads; the role is reset after every call, and a
    // session that cannot reset it is closed, so that no call ever runs with
    // another operator's rights.
    wire::Reply executeAs(const QString &role, const wire::Call &c, PieceSender *pieces)
    {
        if (role.isEmpty()) return execute(c, pieces, {});
        const wire::Reply r = execute(c, pieces, role);
        QSqlQuery reset(m_db);
        if (m_db.isOpen() && !reset.exec(QStringLiteral("RESET ROLE"))) {
            qCWarning(lcServer) << m_name << "could not reset the role of" << role << "; closing its session:"
                                << reset.lastError().text();
            reset = QSqlQuery();
            m_db.close();
        }
        return r;
    }
    void setRole(const QString &role)
    {
        // The name was checked at the hello (letters, digits, "_"): quoting it is enough.
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SET ROLE \"%1\"").arg(role)))
            throw DatabaseFailure(("SET ROLE " + role + ": " + q.lastError().text()).toStdString());
    }
    wire::Reply execute(const wire::Call &c, PieceSender *pieces, const QString &role)
    {
        ServerObject &obj = object(c.object);
        if (pieces) pieces->reset();
        for (int attempt = 0;; ++attempt) {
            try {
                if (!m_db.isOpen() && !reopen()) throw DatabaseFailure("session closed");
                if (!role.isEmpty()) setRole(role);
                return obj.invokeStreaming(c.method, c.args, m_db, pieces);
            } catch (const DatabaseFailure &e) {
                // A session the database dropped is opened again once and the call
                // run again: reads only, so running it twice changes nothing. Not
                // once pieces of its reply went out: the error ends them.
                if (attempt == 0 && !(pieces && pieces->started()) && !alive()) {
                    qCWarning(lcServer) << m_name << "lost its session; reopening:" << e.what();
                    if (reopen()) continue;
                }
                return referencedError(wire::ErrorCode::Database, QStringLiteral("Erro no banco de dados."),
                                       c.method + QStringLiteral(": ") + QString::fromUtf8(e.what()));
            } catch (const std::exception &e) {
                return referencedError(wire::ErrorCode::Internal, QStringLiteral("Erro interno do servidor de aplicação."),
                                       c.method + QStringLiteral(": ") + QString::fromUtf8(e.what()));
            }
        }
    }
    WorkerPool *m_pool;
    QString m_name;
    QSqlDatabase m_db;
    std::map<QString, std::unique_ptr<ServerObject>> m_objects;
};

WorkerPool::WorkerPool(const Config &cfg, const QHash<QString, ObjectFactory> &factories)
    : m_cfg(cfg), m_factories(factories)
{
}

WorkerPool::~WorkerPool() { stop(); }

bool WorkerPool::start(QString *why)
{
    const int n = std::max(1, m_cfg.workers);
    for (int i = 0; i < n; ++i) {
        auto w = std::make_unique<Worker>(this, i);
        w->start();
        w->ready.acquire();
        const QString failure = w->failure;
        m_workers.push_back(std::move(w));
        if (!failure.isEmpty()) {
            *why = failure;
            stop();
            return false;
        }
    }
    return true;
}

void WorkerPool::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_jobs.clear();
        m_pending = 0;
    }
    m_wake.wakeAll();
    for (auto &w : m_workers) w->wait();
    m_workers.clear();
}

void WorkerPool::submit(wire::Call call, QString role, std::shared_ptr<PieceSender> pieces, Done done)
{
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.push_back({std::move(call), std::move(role), std::move(pieces), std::move(done)});
    }
    // Counted once the lock is free, so the worker waiting awake finds it free.
    const int pending = m_pending.fetch_add(1) + 1;
    // A worker still awake takes one job; it looks at the queue before it
    // sleeps. Any job beyond that wakes a sleeping worker, or it would wait
    // for the awake one to finish.
    if (pending > m_spinning.load()) m_wake.wakeOne();
}

bool WorkerPool::next(Job *job)
{
    // A desktop walking a history sends its next call a few tens of
    // microseconds after the last answer. One worker at a time waits that
    // long awake, giving the processor away to anyone who needs it, which
    // spares each such call the wake-up of a sleeping thread.
    int none = 0;
    if (m_spinning.compare_exchange_strong(none, 1)) {
        QElapsedTimer spin;
        spin.start();
        while (m_pending.load() == 0 && !m_stopping.load() && spin.nsecsElapsed() < kSpinNs) QThread::yieldCurrentThread();
        m_spinning.store(0);
    }
    QMutexLocker lock(&m_mutex);
    while (m_jobs.empty() && !m_stopping) m_wake.wait(&m_mutex);
    if (m_stopping) return false;
    *job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_pending.fetch_sub(1);
    return true;
}

}  // namespace appsrv
