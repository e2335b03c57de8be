#pragma once

#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kotobane::test {

// A FIFO where a file should be. Code that still waits on it after a few
// seconds is let through (both ends are opened once), so that a test of
// "never blocks" fails instead of hanging the run.
class FifoGuard {
public:
    explicit FifoGuard(const QString& path, int seconds = 5) : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        m_watch = std::thread([this, seconds] {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
                return;
            }
            m_fired = true;
            // The read end stays open until the guard goes, so that a writer
            // let through never meets a pipe without a reader.
            m_reader = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            const int writer = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) {
                ::close(writer);
            }
        });
    }
    ~FifoGuard()
    {
        Finish();
        if (m_reader >= 0) {
            ::close(m_reader);
        }
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const { return m_made; }
    bool Fired()
    {
        std::lock_guard lock(m_mutex);
        return m_fired;
    }
    // Ends the watch; true when the code under test had to be let through.
    bool Finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_wake.notify_all();
        if (m_watch.joinable()) {
            m_watch.join();
        }
        return m_fired;
    }

private:
    QByteArray m_path;
    bool m_made = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finished = false;
    bool m_fired = false;
    int m_reader = -1;
    std::thread m_watch;
};

}  // namespace kotobane::test
