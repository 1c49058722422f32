// FakeMailServerMain.cpp - tarvell_fake_mail_server FOLDER: the mail drop of support/MailDrop.h
// as a program, for the tests that drive the Windows programs from a shell script. Serves until it
// is killed.
#include "app/TextCodec.h"
#include "support/MailDrop.h"

#include <cstdio>
#include <exception>

#include <unistd.h>

int main(int argc, char** argv)
{
    std::string strFolder;
    if (argc != 2 || !Utf8ToSjis(argv[1], strFolder) || strFolder.empty())
    {
        std::fprintf(stderr, "usage: tarvell_fake_mail_server FOLDER\n");
        return 2;
    }
    if (strFolder.back() != '/')
        strFolder += '/';
    try
    {
        const CMailDrop drop(strFolder);
        for (;;)
            ::pause();
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "tarvell_fake_mail_server: %s\n", e.what());
        return 1;
    }
}
