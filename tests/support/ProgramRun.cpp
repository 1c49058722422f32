// ProgramRun.cpp - runs the built program for end-to-end tests.
#include "support/ProgramRun.h"

#include "support/Unprivileged.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef TARVELL_BINARY
#define TARVELL_BINARY ""
#endif
#ifndef TARVELL_BATCH_BINARY
#define TARVELL_BATCH_BINARY ""
#endif

extern char** environ;

namespace
{
bool UsesBatchProgram()
{
    const char* pszProgram = std::getenv("TARVELL_TEST_PROGRAM");
    return pszProgram != nullptr && std::string(pszProgram) == "tarvell-batch";
}
} // namespace

std::string InstallProgram(const std::string& strDir)
{
    const bool bBatch = UsesBatchProgram();
    const std::string strTarget = strDir + (bBatch ? "tarvell-batch" : "tarvell");
    if (!std::filesystem::exists(strTarget))
        std::filesystem::copy_file(bBatch ? TARVELL_BATCH_BINARY : TARVELL_BINARY, strTarget);
    return strTarget;
}

ProgramResult RunProgram(const std::string& strDir, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, int nTimeoutSeconds,
                         const std::function<void(pid_t)>& onStarted, bool bAsNobody)
{
    const std::string strProgram = InstallProgram(strDir);
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return ProgramResult();

    std::vector<std::string> envText;
    for (char** p = environ; *p != nullptr; ++p)
    {
        const std::string strVar(*p);
        if (strVar.rfind("DISPLAY=", 0) != 0 && strVar.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            strVar.rfind("QT_QPA_PLATFORM=", 0) != 0)
            envText.push_back(strVar);
    }
    envText.push_back("QT_QPA_PLATFORM=offscreen");
    envText.insert(envText.end(), env.begin(), env.end());

    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::chdir(strDir.c_str());
        if (bAsNobody && !BecomeNobody())
            ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(strProgram.c_str())};
        for (const std::string& strArg : args)
            argv.push_back(const_cast<char*>(strArg.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& strVar : envText)
            envp.push_back(const_cast<char*>(strVar.c_str()));
        envp.push_back(nullptr);
        ::execve(strProgram.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (onStarted)
        onStarted(pid);

    ProgramResult result;
    const std::time_t deadline = std::time(nullptr) + nTimeoutSeconds;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int nOpen = 2;
    while (nOpen > 0)
    {
        const std::time_t now = std::time(nullptr);
        if (now >= deadline)
        {
            result.bTimedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(deadline - now) * 1000) <= 0)
            continue;
        for (int i = 0; i < 2; ++i)
        {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof(buf));
            if (n > 0)
                (i == 0 ? result.strOut : result.strErr).append(buf, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
            {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --nOpen;
            }
        }
    }
    for (const pollfd& fd : fds)
    {
        if (fd.fd >= 0)
            ::close(fd.fd);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.bExited = WIFEXITED(status) && !result.bTimedOut;
    result.nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
