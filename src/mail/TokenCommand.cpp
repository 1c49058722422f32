// TokenCommand.cpp - the command line's words and the token in the output (the program is run in
// PosixTokenCommand.cpp and WinTokenCommand.cpp).
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

bool TokenOfOutput(const std::string& strOutput, const std::string& strName, std::string& strToken,
                   std::string& strError)
{
    std::string strLine = strOutput.substr(0, strOutput.find('\n'));
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    // A token is printable ASCII; anything else would go into the AUTH line.
    for (const char c : strLine)
        if (c < 0x21 || c > 0x7E)
            strLine.clear();
    if (strLine.empty())
    {
        strError = "OAuthTokenCommand がアクセストークンを出力しませんでした: " + // troubleshooting
                   strName;
        return false;
    }
    strToken = strLine;
    return true;
}
