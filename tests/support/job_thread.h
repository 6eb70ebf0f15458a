#pragma once
#include <QThread>
#include <functional>

// Runs one job on a thread of its own. QThread::create needs std::future, which MinGW's default thread model lacks.
class JobThread : public QThread {
    std::function<void()> m_job;
public:
    explicit JobThread(std::function<void()> job) : m_job(std::move(job)) {}
    void run() override { m_job(); }
};
