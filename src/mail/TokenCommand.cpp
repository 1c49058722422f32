// TokenCommand.cpp - the command line's words (the program is run in PosixTokenCommand.cpp).
#include "mail/TokenCommand.h"

bool SplitCommandLine(const std::string& strLine, std::vector<std::string>& words)
{
    words.clear();
    std::string strWord;
    bool bInWord = false;
    char cQuote = 0;
    for (const char c : strLine)
    {
        if (cQuote != 0)
        {
            if (c == cQuote)
                cQuote = 0;
            else
                strWord += c;
        }
        else if (c == '\'' || c == '"')
        {
            cQuote = c;
            bInWord = true;
        }
        else if (c == ' ' || c == '\t')
        {
            if (bInWord)
                words.push_back(strWord);
            strWord.clear();
            bInWord = false;
        }
        else
        {
            strWord += c;
            bInWord = true;
        }
    }
    if (bInWord)
        words.push_back(strWord);
    return cQuote == 0 && !words.empty();
}
