#pragma once

// A process that has run out of file descriptors, for as long as the object lives: the
// soft limit is lowered to the descriptors open now and every free one below it is taken,
// so the next open, accept or socket call fails with EMFILE. Everything is given back
// when the object goes.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tarvenix::test {

class DescriptorsUsedUp {
public:
    DescriptorsUsedUp()
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        int highest = 2;
        if (DIR* dir = ::opendir("/proc/self/fd")) {
            while (const dirent* entry = ::readdir(dir))
                highest = std::max(highest, std::atoi(entry->d_name));
            ::closedir(dir);
        }
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(highest) + 1;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) m_taken.push_back(fd);
    }
    ~DescriptorsUsedUp() { GiveBack(); }
    DescriptorsUsedUp(const DescriptorsUsedUp&) = delete;
    DescriptorsUsedUp& operator=(const DescriptorsUsedUp&) = delete;

    /// Ends the shortage before the object goes.
    void GiveBack()
    {
        for (int fd : m_taken) ::close(fd);
        m_taken.clear();
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
    }

private:
    rlimit m_saved{};
    std::vector<int> m_taken;
};

}  // namespace tarvenix::test
