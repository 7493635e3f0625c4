#pragma once

#include <csignal>
#include <sys/resource.h>

// While it lives, no file of this process may grow beyond a few bytes: writes past that fail as on
// a full disk (and raise no signal).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes = 16)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = saved;
        tight.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved {};
    void (*previousHandler)(int) = nullptr;
};
