// PosixTokenCommand.cpp - runs the token program with fork and execvp, reading its output through
// a pipe with poll so that a program that hangs is ended at the time-out.
#include "mail/TokenCommand.h"

#include "app/TextCodec.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
constexpr std::size_t MAX_OUTPUT = std::size_t{64} * 1024; // a token is a few kilobytes

long long NowMilliseconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
} // namespace

bool RunTokenCommand(const std::vector<std::string>& words, int nTimeoutSeconds,
                     std::string& strToken, std::string& strError)
{
    strToken.clear();
    std::vector<std::string> args;
    for (const std::string& strWord : words)
    {
        std::string strOs;
        if (!SjisToUtf8(strWord, strOs))
        {
            strError = "OAuthTokenCommand を変換できません"; // troubleshooting
            return false;
        }
        args.push_back(strOs);
    }
    const std::string strName = words.empty() ? std::string() : words[0];
    int fds[2];
    if (args.empty() || ::pipe2(fds, O_CLOEXEC) != 0)
    {
        strError = "OAuthTokenCommand を起動できません: " + strName; // troubleshooting
        return false;
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& strArg : args)
        argv.push_back(strArg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::dup2(fds[1], STDOUT_FILENO);
        const int fdNull = ::open("/dev/null", O_RDONLY);
        if (fdNull >= 0)
            ::dup2(fdNull, STDIN_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0)
    {
        ::close(fds[0]);
        strError = "OAuthTokenCommand を起動できません: " + strName;
        return false;
    }
    std::string strOutput;
    bool bTimedOut = false;
    const long long nDeadline = NowMilliseconds() + static_cast<long long>(nTimeoutSeconds) * 1000;
    for (;;)
    {
        const long long nLeft = nDeadline - NowMilliseconds();
        pollfd pfd{fds[0], POLLIN, 0};
        const int nReady = nLeft > 0 ? ::poll(&pfd, 1, static_cast<int>(nLeft)) : 0;
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady <= 0)
        {
            bTimedOut = true;
            break;
        }
        char buffer[4096];
        const ssize_t nGot = ::read(fds[0], buffer, sizeof(buffer));
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot <= 0)
            break;
        if (strOutput.size() < MAX_OUTPUT)
            strOutput.append(buffer, static_cast<std::size_t>(nGot));
    }
    ::close(fds[0]);
    if (bTimedOut)
        ::kill(pid, SIGKILL);
    int nStatus = 0;
    while (::waitpid(pid, &nStatus, 0) < 0 && errno == EINTR)
    {
    }
    if (bTimedOut)
    {
        strError = "OAuthTokenCommand が " + std::to_string(nTimeoutSeconds) +
                   " 秒以内に終わりませんでした: " + strName; // troubleshooting
        return false;
    }
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
    {
        strError = "OAuthTokenCommand が失敗しました (終了コード " + // troubleshooting
                   std::to_string(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128) +
                   "): " + strName;
        return false;
    }
    return TokenOfOutput(strOutput, strName, strToken, strError);
}
