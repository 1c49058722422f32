// PosixUnprivileged.cpp - test pieces run as the user "nobody".
#include "support/Unprivileged.h"

#include <exception>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

std::string NoUnprivilegedUserReason()
{
    if (::geteuid() != 0)
        return "needs root to run a piece as the user nobody (file permissions bind only another "
               "user)";
    if (::getpwnam("nobody") == nullptr)
        return "there is no user nobody";
    return "";
}

bool BecomeNobody()
{
    const passwd* pUser = ::getpwnam("nobody");
    return pUser != nullptr && ::setgroups(0, nullptr) == 0 && ::setgid(pUser->pw_gid) == 0 &&
           ::setuid(pUser->pw_uid) == 0;
}

std::string RunAsNobody(const std::function<std::string()>& fn)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "<no pipe>";
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::close(fds[0]);
        std::string strResult;
        if (!BecomeNobody())
            strResult = "<cannot become nobody>";
        else
        {
            try
            {
                strResult = fn();
            }
            catch (const std::exception& e)
            {
                strResult = std::string("exception: ") + e.what();
            }
        }
        const char* p = strResult.data();
        std::size_t nLeft = strResult.size();
        while (nLeft > 0)
        {
            const ssize_t n = ::write(fds[1], p, nLeft);
            if (n <= 0)
                break;
            p += n;
            nLeft -= static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string strResult;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof(buf))) > 0;)
        strResult.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "<child failed>";
    return strResult;
}

void OpenToEveryone(const std::string& strDir)
{
    namespace fs = std::filesystem;
    fs::permissions(strDir, fs::perms::all);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(strDir))
        if (entry.is_directory())
            fs::permissions(entry.path(), fs::perms::all);
}
