#pragma once

// A named pipe where a file is expected, and a bounded wait for what reads it: a reader
// that would wait on the pipe for ever is let go after a while (a writer opens and closes
// the pipe) and the test learns that it waited.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace tarvenix::test {

/// Makes a named pipe at `path` (nothing may be there); false when it cannot.
inline bool MakeNamedPipe(const std::string& path)
{
    return ::mkfifo(path.c_str(), 0600) == 0;
}

/// Runs `read` on this thread. When it has not returned after `patience`, the pipe at
/// `path` is opened for writing and closed again, which ends a read waiting on it. Returns
/// whether that was needed: a reader that never waits gives false.
template <class Read>
bool ReaderWaitedOnPipe(const std::string& path, Read&& read,
                        std::chrono::milliseconds patience = std::chrono::seconds(10))
{
    std::mutex lock;
    std::condition_variable changed;
    bool done = false, waited = false;
    std::thread watchdog([&] {
        std::unique_lock hold(lock);
        while (!done) {
            if (changed.wait_for(hold, patience, [&] { return done; })) break;
            waited = true;
            hold.unlock();
            const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) ::close(fd);
            hold.lock();
            patience = std::chrono::milliseconds(50);
        }
    });
    read();
    {
        std::lock_guard hold(lock);
        done = true;
    }
    changed.notify_all();
    watchdog.join();
    return waited;
}

}  // namespace tarvenix::test
