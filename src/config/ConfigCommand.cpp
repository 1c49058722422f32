// ConfigCommand.cpp - tarvell-config's commands.
#include "config/ConfigCommand.h"

#include "addr/AddressBook.h"
#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/FolderLock.h"
#include "app/Process.h"
#include "app/Records.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "config/BookCsv.h"
#include "mail/OAuthClient.h"
#include "send/DeliveryFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include "config/ExitStatus.h"

namespace
{
// A CSV file or a password line larger than this is refused: a book of 50 entries is 20 KB.
constexpr std::size_t MAX_CSV_BYTES = 1 << 20;
constexpr std::size_t MAX_PASSWORD_LINE = 4096;

// Ends the command with a status and a message (CP932; none when empty).
struct CExit
{
    int nStatus;
    std::string strMessage;
};

void WriteUtf8(std::ostream& stream, const std::string& strSjis)
{
    stream << SjisToUtf8Lossy(strSjis);
}

// A control byte (CR, LF, ESC, NUL ...): never a part of a value. No CP932 second byte is one.
bool IsControlByte(char c)
{
    const auto uc = static_cast<unsigned char>(c);
    return uc < 0x20 || uc == 0x7F;
}

bool HasControlBytes(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), IsControlByte);
}

std::string ControlBytesMessage()
{
    return "制御文字（改行、タブ、エスケープなど）は使えません。";
}

// A value from a file or the command line as it may be printed: each control byte as \xNN, so
// that nothing read from a record or a CSV can move the terminal's cursor or change its state.
std::string Printable(std::string_view text)
{
    std::string strShown;
    for (const char c : text)
    {
        if (!IsControlByte(c))
        {
            strShown += c;
            continue;
        }
        char szHex[8];
        std::snprintf(szHex, sizeof(szHex), "\\x%02X", static_cast<unsigned char>(c));
        strShown += szHex;
    }
    return strShown;
}

std::string ToSjisOrFail(const std::string& strUtf8, int nStatus, const std::string& strWhat)
{
    std::string strSjis;
    if (!Utf8ToSjis(strUtf8, strSjis))
        throw CExit{nStatus, strWhat + ": " + UnconvertibleTextMessage()};
    if (HasControlBytes(strSjis))
        throw CExit{nStatus, strWhat + ": " + ControlBytesMessage()};
    return strSjis;
}

// A file error while reading is EX_IOERR (EX_NOINPUT for a missing file); while writing,
// EX_CANTCREAT.
[[noreturn]] void FailRead(const CFileException& e)
{
    throw CExit{e.m_cause == CFileException::fileNotFound ? EX_NOINPUT : EX_IOERR,
                FileErrorText(e)};
}
[[noreturn]] void FailWrite(const CFileException& e)
{
    throw CExit{EX_CANTCREAT, FileErrorText(e)};
}

struct Arguments
{
    std::string strDir; // CP932, ending in "/"
    bool bHelp = false;
    bool bPasswordStdin = false;
    bool bDryRun = false;
    bool bDevice = false;
    std::optional<CsvEncoding> encoding;
    std::vector<std::string> words; // UTF-8
};

Arguments ParseArguments(const std::vector<std::string>& args)
{
    Arguments parsed;
    std::optional<std::string> dir;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        const auto value = [&](const std::string& strName) -> std::string {
            if (arg.rfind(strName + "=", 0) == 0)
                return arg.substr(strName.size() + 1);
            if (i + 1 >= args.size())
                throw CExit{EX_USAGE, strName + " には値が要ります。"};
            return args[++i];
        };
        if (arg == "--help" || arg == "-h")
            parsed.bHelp = true;
        else if (arg == "--password-stdin")
            parsed.bPasswordStdin = true;
        else if (arg == "--dry-run")
            parsed.bDryRun = true;
        else if (arg == "--device")
            parsed.bDevice = true;
        else if (arg == "--dir" || arg.rfind("--dir=", 0) == 0)
            dir = value("--dir");
        else if (arg == "--encoding" || arg.rfind("--encoding=", 0) == 0)
        {
            const std::string strEncoding = value("--encoding");
            if (strEncoding == "utf-8" || strEncoding == "utf8" || strEncoding == "UTF-8")
                parsed.encoding = CsvEncoding::Utf8;
            else if (strEncoding == "cp932" || strEncoding == "CP932" || strEncoding == "sjis")
                parsed.encoding = CsvEncoding::Cp932;
            else
                throw CExit{EX_USAGE, "--encoding は utf-8 か cp932 です。"};
        }
        else if (arg.size() > 1 && arg[0] == '-' && arg != "-")
            throw CExit{EX_USAGE,
                        Printable(ToSjisOrFail(arg, EX_USAGE, "?")) + ": 知らないオプションです。"};
        else
            parsed.words.push_back(arg);
    }
    if (parsed.bHelp)
        return parsed;
    if (dir)
    {
        // An empty value would name the root folder once "/" is appended.
        if (dir->empty())
            throw CExit{EX_USAGE, "--dir: フォルダを指定してください（空です）。"};
        parsed.strDir = ToSjisOrFail(*dir, EX_USAGE, "--dir");
        if (parsed.strDir.empty() || parsed.strDir.back() != '/')
            parsed.strDir += '/';
        if (!IsFolder(parsed.strDir))
            throw CExit{EX_NOINPUT, parsed.strDir + ": フォルダがありません。"};
    }
    else
    {
        std::string strError;
        parsed.strDir = DataFolder(strError);
        if (parsed.strDir.empty())
            throw CExit{EX_CANTCREAT, ToSjisOrFail(strError, EX_CANTCREAT, "data folder")};
    }
    if (parsed.strDir.size() > MAX_PATH_TEXT)
        throw CExit{EX_USAGE, parsed.strDir + ": フォルダのパスが長すぎます（255 バイトまで）。"};
    return parsed;
}

// One settable text field of a record: its key on the command line and its buffer.
struct FieldRef
{
    const char* pszKey;
    char* pszField;
    std::size_t nSize;
};

template <std::size_t N> FieldRef Field(const char* pszKey, char (&szField)[N])
{
    return FieldRef{pszKey, szField, N};
}

// The check of one value: the dialogs' text check, and no control byte.
std::string ValueMessage(bool bConvertible, const std::string& strValue, std::size_t nLimit)
{
    std::string strMessage = TextFieldMessage(bConvertible, strValue.size(), nLimit);
    if (strMessage.empty() && HasControlBytes(strValue))
        return ControlBytesMessage();
    return strMessage;
}

// Applies KEY=VALUE words to the fields; every value is checked as the dialogs check it.
void SetFields(const std::vector<std::string>& assignments, const std::vector<FieldRef>& fields)
{
    std::string strProblems;
    for (const std::string& assignment : assignments)
    {
        const std::size_t nEq = assignment.find('=');
        const std::string strKey = assignment.substr(0, nEq);
        if (strKey == "password")
            throw CExit{EX_USAGE, "パスワードはコマンドラインでは受け取りません。"
                                  "--password-stdin で標準入力から渡してください。"};
        const FieldRef* pField = nullptr;
        for (const FieldRef& field : fields)
        {
            if (nEq != std::string::npos && strKey == field.pszKey)
                pField = &field;
        }
        if (pField == nullptr)
            throw CExit{EX_USAGE, Printable(strKey) + ": KEY=VALUE の KEY が違います。"};
        std::string strValue;
        const bool bConvertible = Utf8ToSjis(assignment.substr(nEq + 1), strValue);
        const std::string strMessage = ValueMessage(bConvertible, strValue, pField->nSize - 1);
        if (!strMessage.empty())
            strProblems += std::string(pField->pszKey) + ": " + strMessage + "\n";
        else
            CopyToField(pField->pszField, pField->nSize, strValue);
    }
    if (!strProblems.empty())
    {
        strProblems.pop_back();
        throw CExit{EX_DATAERR, strProblems};
    }
}

std::string ReadPasswordLine(std::istream& in)
{
    std::string strLine;
    char c = 0;
    bool bLine = false; // a line was given, even an empty one
    while (strLine.size() <= MAX_PASSWORD_LINE && in.get(c))
    {
        bLine = true;
        if (c == '\n')
            break;
        strLine += c;
    }
    // Nothing at all on standard input is a mistake of the caller, not an empty password.
    if (!bLine)
        throw CExit{EX_NOINPUT, "--password-stdin: 標準入力にパスワードの行がありません。"};
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    if (strLine.size() > MAX_PASSWORD_LINE)
        throw CExit{EX_DATAERR, "password: " + TextTooLongMessage(127)};
    return strLine;
}

int Sender(const Arguments& args, std::istream& in, std::ostream& out)
{
    const std::string strPath = args.strDir + kSenderFileName;
    SenderInf sender;
    try
    {
        LoadSenderFile(strPath, sender); // like the program: a wrong-sized file is an empty record
    }
    catch (const CFileException& e)
    {
        FailRead(e);
    }
    const std::string strVerb = args.words.size() > 1 ? args.words[1] : std::string();
    if (strVerb == "show" && args.words.size() == 2 && !args.bPasswordStdin)
    {
        WriteUtf8(out, "name=" + Printable(FieldText(sender.szName)) + "\n" +
                           "address=" + Printable(FieldText(sender.szMailAddress)) + "\n" +
                           "smtp=" + Printable(FieldText(sender.szSmtpServer)) + "\n" +
                           "pop3=" + Printable(FieldText(sender.szPop3Server)) + "\n" +
                           "login=" + Printable(FieldText(sender.szLoginName)) + "\n" +
                           "password=" + (sender.szPassword[0] != '\0' ? "****" : "") + "\n");
        return EX_OK;
    }
    if (strVerb != "set" || (args.words.size() == 2 && !args.bPasswordStdin))
        throw CExit{EX_USAGE, "使い方: tarvell-config sender show | sender set KEY=VALUE... "
                              "[--password-stdin]"};
    SetFields({args.words.begin() + 2, args.words.end()},
              {Field("name", sender.szName), Field("address", sender.szMailAddress),
               Field("smtp", sender.szSmtpServer), Field("pop3", sender.szPop3Server),
               Field("login", sender.szLoginName)});
    if (args.bPasswordStdin)
    {
        std::string strPassword;
        const bool bConvertible = Utf8ToSjis(ReadPasswordLine(in), strPassword);
        // A NUL would silently cut the password, a CR or LF would break every log-in.
        const std::string strMessage =
            ValueMessage(bConvertible, strPassword, sizeof(sender.szPassword) - 1);
        if (!strMessage.empty())
            throw CExit{EX_DATAERR, "password: " + strMessage};
        CopyToField(sender.szPassword, sizeof(sender.szPassword), strPassword);
    }
    try
    {
        SaveSenderFile(strPath, sender);
    }
    catch (const CFileException& e)
    {
        FailWrite(e);
    }
    return EX_OK;
}

int Options(const Arguments& args, std::ostream& out)
{
    const std::string strPath = args.strDir + kCfgFileName;
    CfgData cfg;
    try
    {
        if (LoadCfgFile(strPath, cfg) == RecordLoad::WrongSize)
            throw CExit{EX_DATAERR, strPath + ": 環境設定ファイルのバージョンが違います。"};
    }
    catch (const CFileException& e)
    {
        FailRead(e);
    }
    const std::string strVerb = args.words.size() > 1 ? args.words[1] : std::string();
    if (strVerb == "show" && args.words.size() == 2)
    {
        WriteUtf8(out, "editor=" + Printable(FieldText(cfg.szEditorPath)) + "\n" +
                           "textdir=" + Printable(FieldText(cfg.szTextFileDir)) + "\n" +
                           "bindir=" + Printable(FieldText(cfg.szBinFileDir)) + "\n");
        return EX_OK;
    }
    if (strVerb != "set" || args.words.size() == 2)
        throw CExit{EX_USAGE, "使い方: tarvell-config options show | options set KEY=VALUE..."};
    SetFields({args.words.begin() + 2, args.words.end()},
              {Field("editor", cfg.szEditorPath), Field("textdir", cfg.szTextFileDir),
               Field("bindir", cfg.szBinFileDir)});
    try
    {
        SaveCfgFile(strPath, cfg);
    }
    catch (const CFileException& e)
    {
        FailWrite(e);
    }
    return EX_OK;
}

// The lines "Key=Value" of a Delivery.ini text as the program writes it.
std::vector<std::pair<std::string, std::string>> DeliveryLines(const std::string& strText)
{
    std::vector<std::pair<std::string, std::string>> lines;
    std::size_t nAt = 0;
    while (nAt < strText.size())
    {
        std::size_t nEnd = strText.find("\r\n", nAt);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        const std::string strLine = strText.substr(nAt, nEnd - nAt);
        const std::size_t nEq = strLine.find('=');
        if (nEq != std::string::npos)
            lines.emplace_back(strLine.substr(0, nEq), strLine.substr(nEq + 1));
        nAt = nEnd + 2;
    }
    return lines;
}

std::string DeliveryText(const std::vector<std::pair<std::string, std::string>>& lines)
{
    std::string strText;
    for (const auto& [strKey, strValue] : lines)
        strText.append(strKey).append("=").append(strValue).append("\r\n");
    return strText;
}

// Delivery.ini: "show" prints every key as the program reads it; "set" changes the keys named,
// reads the result back with the program's own reader and writes it only when every value reads
// back as written (a value the program does not know, or one it would take as its default, is
// refused). The keys are those the file layer writes, so a key added there is settable here.
int Delivery(const Arguments& args, std::ostream& out)
{
    const std::string strPath = args.strDir + kDeliveryFileName;
    DeliveryProfile profile;
    try
    {
        profile = ReadDeliveryProfile(strPath);
    }
    catch (const CFileException& e)
    {
        FailRead(e);
    }
    const std::string strVerb = args.words.size() > 1 ? args.words[1] : std::string();
    auto lines = DeliveryLines(FormatDeliveryProfile(profile, true));
    if (strVerb == "show" && args.words.size() == 2)
    {
        for (const auto& [strKey, strValue] : DeliveryLines(FormatDeliveryProfile(profile)))
            WriteUtf8(out, strKey + "=" + Printable(strValue) + "\n");
        if (!profile.strRefused.empty())
            throw CExit{EX_DATAERR, strPath + ": " + Printable(profile.strRefused) +
                                        ": この値は使えません。直すまで送信はすべて失敗します。"};
        return EX_OK;
    }
    if (strVerb != "set" || args.words.size() == 2)
        throw CExit{EX_USAGE, "使い方: tarvell-config delivery show | delivery set KEY=VALUE..."};
    std::string strKeys;
    for (const auto& line : lines)
        strKeys += (strKeys.empty() ? "" : ", ") + line.first;
    std::vector<std::string> changed;
    const std::string strRefusedKey = profile.strRefused.substr(0, profile.strRefused.find('='));
    for (auto it = args.words.begin() + 2; it != args.words.end(); ++it)
    {
        const std::size_t nEq = it->find('=');
        const std::string strKey = ToSjisOrFail(it->substr(0, nEq), EX_USAGE, "KEY");
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const auto& l) { return l.first == strKey; });
        if (nEq == std::string::npos || line == lines.end())
            throw CExit{EX_USAGE,
                        Printable(strKey) + ": KEY=VALUE の KEY が違います（" + strKeys + "）。"};
        std::string strValue;
        const bool bConvertible = Utf8ToSjis(it->substr(nEq + 1), strValue);
        const std::string strMessage = ValueMessage(bConvertible, strValue, MAX_PATH_TEXT);
        if (!strMessage.empty())
            throw CExit{EX_DATAERR, std::string(strKey).append(": ").append(strMessage)};
        line->second = strValue;
        changed.push_back(strKey);
    }
    // A value the file holds that the program refuses is never replaced by its default unasked:
    // "SmtpSecurity=startls" must not become "none" because another key was set.
    if (!profile.strRefused.empty() &&
        std::find(changed.begin(), changed.end(), strRefusedKey) == changed.end())
        throw CExit{EX_DATAERR, strPath + ": " + Printable(profile.strRefused) +
                                    ": この値は使えません。delivery set " + strRefusedKey +
                                    "=... で一緒に直してください。"};
    const DeliveryProfile next = ParseDeliveryProfile(DeliveryText(lines));
    if (!next.strRefused.empty())
        throw CExit{EX_DATAERR, Printable(next.strRefused) + ": この値は使えません。"};
    const auto readBack = DeliveryLines(FormatDeliveryProfile(next, true));
    for (const auto& [strKey, strValue] : lines)
    {
        const auto back = std::find_if(readBack.begin(), readBack.end(),
                                       [&key = strKey](const auto& l) { return l.first == key; });
        const bool bChanged = std::find(changed.begin(), changed.end(), strKey) != changed.end();
        if (bChanged && (back == readBack.end() || back->second != strValue))
            throw CExit{EX_DATAERR, strKey + "=" + Printable(strValue) +
                                        ": この値は使えません（man tarvell-config に使える値が"
                                        "あります）。"};
    }
    try
    {
        WriteDeliveryProfile(strPath, next);
    }
    catch (const CFileException& e)
    {
        FailWrite(e);
    }
    return EX_OK;
}

// The OAuth 2.0 sign-in of Delivery.ini's oauth2 profile: "login" signs in with the device grant
// (a code to type in a browser on any machine), "status" tells whether a sign-in is kept,
// "logout" forgets it. The refresh token stays in the program folder, never on the terminal.
int OAuth(const Arguments& args, std::ostream& out, bool (*pOpenBrowser)(const std::string&))
{
    const std::string strVerb = args.words.size() == 2 ? args.words[1] : std::string();
    if (strVerb != "login" && strVerb != "status" && strVerb != "logout")
        throw CExit{EX_USAGE, "使い方: tarvell-config oauth login [--device] | oauth status | "
                              "oauth logout"};
    DeliveryProfile profile;
    try
    {
        profile = ReadDeliveryProfile(args.strDir + kDeliveryFileName);
    }
    catch (const CFileException& e)
    {
        FailRead(e);
    }
    if (!profile.strRefused.empty())
        throw CExit{EX_DATAERR, std::string(kDeliveryFileName) + ": " +
                                    Printable(profile.strRefused) + ": この値は使えません。"};
    if (profile.auth != Authentication::oauth2)
        throw CExit{EX_DATAERR,
                    "Delivery.ini が Authentication=oauth2 ではありません"
                    "（delivery set Authentication=oauth2 OAuthClientId=... で設定）。"};
    if (!profile.oauth.strTokenCommand.empty())
        throw CExit{EX_DATAERR, "OAuthTokenCommand のプログラムがサインインを扱います。"};
    std::unique_ptr<IAccessTokenSource> pSource = MakeAccessTokenSource(profile, args.strDir);
    auto& client = static_cast<COAuthClient&>(*pSource);
    try
    {
        if (strVerb == "status")
        {
            WriteUtf8(out,
                      std::string(client.SignedIn() ? "サインイン済み" : "サインインしていません") +
                          " (" + OAuthProviderName(profile.oauth.provider) + ", " +
                          profile.oauth.strClientId + ")\n");
            return EX_OK;
        }
        if (strVerb == "logout")
        {
            client.SignOut();
            WriteUtf8(out, "サインインを消去しました。\n");
            return EX_OK;
        }
        std::string strError;
        // The browser on this machine when there is a desktop and the provider has an
        // authorization endpoint; else the code typed in a browser anywhere.
        const bool bDesktop =
            pOpenBrowser != nullptr ||
            (std::getenv("DISPLAY") != nullptr && *std::getenv("DISPLAY")) ||
            (std::getenv("WAYLAND_DISPLAY") != nullptr && *std::getenv("WAYLAND_DISPLAY"));
        if (!args.bDevice && bDesktop && !EndpointsOf(profile.oauth).strAuthorizeUrl.empty())
        {
            const bool bSigned = client.SignInWithBrowser(
                [&](const std::string& strUrl) {
                    WriteUtf8(out, "このアドレスをブラウザで開いてサインインしてください（5 "
                                   "分以内）:\n" +
                                       strUrl + "\n");
                    out.flush();
                    // Opened or not, the printed address lets the user go on by hand.
                    if (pOpenBrowser != nullptr && !pOpenBrowser(strUrl))
                        WriteUtf8(out,
                                  "ブラウザを開けませんでした。上のアドレスを開いてください。\n");
                    return true;
                },
                300, strError);
            if (!bSigned)
                throw CExit{EX_UNAVAILABLE, "サインインできませんでした: " + strError};
            WriteUtf8(out, "サインインしました。\n");
            return EX_OK;
        }
        const bool bDone = client.SignInWithDevice(
            [&](const DeviceCode& code) {
                WriteUtf8(out, "ブラウザで " + code.strVerificationUrl + " を開き、コード " +
                                   code.strUserCode + " を入力してサインインしてください（" +
                                   std::to_string(code.nExpiresIn / 60) + " 分以内）。\n");
                out.flush();
            },
            strError);
        if (!bDone)
            throw CExit{EX_UNAVAILABLE,
                        "サインインできませんでした: " + strError}; // troubleshooting
    }
    catch (const CFileException& e)
    {
        FailWrite(e);
    }
    WriteUtf8(out, "サインインしました。\n");
    return EX_OK;
}

// The book's file name in the program folder: "Address.tvl" when none is given or for "Address";
// a group name ("@営業部") gets ".tvl". Any other name is refused: a book must never be written
// over Delivery.ini, Tarvell.cfg or another file of the folder.
std::string BookName(const std::string& strUtf8)
{
    std::string strName = ToSjisOrFail(strUtf8, EX_USAGE, "BOOK");
    if (strName.empty() || strName == "Address" || strName == MAIN_BOOK_NAME)
        return MAIN_BOOK_NAME;
    if (strName.find('/') != std::string::npos)
        throw CExit{EX_USAGE, strName + ": アドレス帳はプログラムフォルダの中のファイル名で"
                                        "指定します（/ は使えません）。"};
    constexpr std::string_view kExtension = ".tvl";
    if (strName.size() < kExtension.size() ||
        strName.compare(strName.size() - kExtension.size(), kExtension.size(), kExtension) != 0)
        strName += kExtension;
    if (strName[0] != '@' || strName.size() == 1 + kExtension.size())
        throw CExit{EX_USAGE, strName + ": アドレス帳は Address か @グループ名 で指定します。"};
    if (strName.size() > sizeof(AddressEntry::szName) - 1)
        throw CExit{EX_USAGE, "BOOK: " + TextTooLongMessage(sizeof(AddressEntry::szName) - 1)};
    return strName;
}

// Reads the book, or gives an empty one when bMayBeMissing and it does not exist yet.
std::unique_ptr<AddressBook> ReadBook(const std::string& strPath, bool bMayBeMissing)
{
    auto book = std::make_unique<AddressBook>();
    if (!PathExists(strPath))
    {
        if (bMayBeMissing)
            return book;
        throw CExit{EX_NOINPUT, strPath + " が見つかりません。"};
    }
    if (GetFileSizeOrZero(strPath) != static_cast<std::int64_t>(ADDRESS_BOOK_FILE_SIZE))
        throw CExit{EX_DATAERR, strPath + ": アドレス帳ではありません（19,200 バイトでは"
                                          "ありません）。"};
    try
    {
        LoadBook(strPath, *book);
    }
    catch (const CFileException& e)
    {
        FailRead(e);
    }
    return book;
}

std::string EntryText(const AddressEntry& entry)
{
    if (entry.szName[0] == '\0' && entry.szAddress[0] == '\0')
        return "（空き）";
    return Printable(FieldText(entry.szName)) + " <" + Printable(FieldText(entry.szAddress)) + ">";
}

std::string ReadCsv(const std::string& strFileUtf8, std::istream& in)
{
    if (strFileUtf8 == "-")
    {
        std::string strCsv;
        char buf[65536];
        while (in.read(buf, sizeof(buf)) || in.gcount() > 0)
        {
            strCsv.append(buf, static_cast<std::size_t>(in.gcount()));
            if (strCsv.size() > MAX_CSV_BYTES)
                throw CExit{EX_DATAERR, "CSV が大きすぎます（1 MiB まで）。"};
        }
        return strCsv;
    }
    const std::string strFile = ToSjisOrFail(strFileUtf8, EX_USAGE, "FILE");
    if (!PathExists(strFile) || IsFolder(strFile))
        throw CExit{EX_NOINPUT, strFile + " が見つかりません。"};
    try
    {
        return ReadWholeFile(strFile, MAX_CSV_BYTES);
    }
    catch (const CFileException& e)
    {
        if (e.m_nOsError == EFBIG)
            throw CExit{EX_DATAERR, strFile + ": CSV が大きすぎます（1 MiB まで）。"};
        FailRead(e);
    }
}

int Book(const Arguments& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    const std::string strVerb = args.words.size() > 1 ? args.words[1] : std::string();
    const std::vector<std::string> rest(
        args.words.begin() + std::min<std::size_t>(2, args.words.size()), args.words.end());
    if (strVerb == "export" && rest.size() <= 1 && !args.bDryRun)
    {
        const std::string strName = BookName(rest.empty() ? std::string() : rest[0]);
        const auto book = ReadBook(args.strDir + strName, false);
        std::string strCsv;
        std::string strError;
        if (!BookToCsv(*book, args.encoding.value_or(CsvEncoding::Utf8), strCsv, strError))
            throw CExit{EX_DATAERR, strName + ": " + strError};
        out << strCsv;
        return EX_OK;
    }
    if (strVerb != "import" || rest.empty() || rest.size() > 2 || args.encoding)
        throw CExit{EX_USAGE, "使い方: tarvell-config book export [BOOK] [--encoding cp932] | "
                              "book import [BOOK] FILE.csv [--dry-run]"};
    const std::string strName = BookName(rest.size() == 2 ? rest[0] : std::string());
    const std::string& strFile = rest.back();
    const std::string strPath = args.strDir + strName;
    const std::string strCsv = ReadCsv(strFile, in);
    const auto old = ReadBook(strPath, true);
    auto book = std::make_unique<AddressBook>(*old);
    std::vector<CsvProblem> warnings;
    const std::vector<CsvProblem> problems =
        CsvIntoBook(strCsv, strName[0] == '@', *book, warnings);
    const auto report = [&](const CsvProblem& problem, const std::string& strKind) {
        WriteUtf8(err, "tarvell-config: " + Printable(ToSjisOrFail(strFile, EX_USAGE, "FILE")) +
                           ":" + std::to_string(problem.nLine) + ": " + strKind +
                           Printable(problem.strMessage) + "\n");
    };
    if (!problems.empty())
    {
        for (const CsvProblem& problem : problems)
            report(problem, "");
        WriteUtf8(err, "tarvell-config: " + strName + " は変更していません。\n");
        return EX_DATAERR;
    }
    for (const CsvProblem& warning : warnings)
        report(warning, "警告: ");
    int nChanged = 0;
    for (int n = 1; n <= ADDRESS_BOOK_ENTRIES; ++n)
    {
        const std::string strOld = EntryText(old->entries[n - 1]);
        const std::string strNew = EntryText(book->entries[n - 1]);
        if (strOld == strNew)
            continue;
        ++nChanged;
        char szNo[16];
        std::snprintf(szNo, sizeof(szNo), "No. %02d: ", n);
        WriteUtf8(out, std::string(szNo).append(strOld).append(" -> ").append(strNew).append("\n"));
    }
    if (args.bDryRun)
    {
        WriteUtf8(out, strName + ": " + std::to_string(nChanged) +
                           " 件が変わります（--dry-run のため書き込みません）。\n");
        return EX_OK;
    }
    try
    {
        SaveBook(strPath, *book);
    }
    catch (const CFileException& e)
    {
        FailWrite(e);
    }
    WriteUtf8(out, strName + ": " + std::to_string(nChanged) + " 件を変更しました。\n");
    return EX_OK;
}

bool JapaneseLocale()
{
    for (const char* pszName : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        const char* pszValue = std::getenv(pszName);
        if (pszValue != nullptr && pszValue[0] != '\0')
            return std::string(pszValue).rfind("ja", 0) == 0;
    }
    return false;
}

// The help, UTF-8 (written here as UTF-8 bytes so that it never passes through CP932).
const char* HelpText()
{
    if (JapaneseLocale())
        return reinterpret_cast<const char*>(
            u8"使い方: tarvell-config [--dir フォルダ] コマンド\n"
            u8"\n"
            u8"Tarvell の発送元設定・オプション・接続設定・アドレス帳を端末から設定します。\n"
            u8"\n"
            u8"  sender show                 発送元設定を表示（パスワードは ****）\n"
            u8"  sender set KEY=値...        name, address, smtp, pop3, login を設定\n"
            u8"       --password-stdin       パスワードを標準入力の 1 行から読む\n"
            u8"  options show                オプションを表示\n"
            u8"  options set KEY=値...       editor, textdir, bindir を設定\n"
            u8"  delivery show               Delivery.ini（TLS と認証）を表示\n"
            u8"  delivery set KEY=値...      SmtpSecurity=none|starttls|tls,\n"
            u8"                              PopSecurity=none|stls|tls, CaFile=PEM ファイル,\n"
            u8"                              "
            u8"Authentication=pop-before-smtp|smtp-auth|none|oauth2,\n"
            u8"                              OAuthProvider=microsoft|google|custom, "
            u8"OAuthClientId,\n"
            u8"                              OAuthTenant, OAuthScope, OAuthTokenCommand ...\n"
            u8"  oauth login [--device]      OAuth 2.0 "
            u8"でサインイン（表示されるコードをブラウザで入力）\n"
            u8"  oauth status | oauth logout サインインの有無を表示 / サインインを消去\n"
            u8"  book export [帳]            アドレス帳を CSV "
            u8"で標準出力へ（No,氏名,メールアドレス）\n"
            u8"       --encoding cp932       Shift_JIS で書く（既定は UTF-8）\n"
            u8"  book import [帳] FILE.csv   CSV（UTF-8 か CP932、- は標準入力）を取り込む\n"
            u8"       --dry-run              変わる内容を表示するだけで書き込まない\n"
            u8"\n"
            u8"帳は Address.tvl（既定）か @グループ名。--dir を省くと tarvell 本体と同じ\n"
            u8"プログラムフォルダを使います。終了コード: 0 成功, 64 使い方の誤り, 65 "
            u8"データの誤り,\n"
            u8"66 入力がない, 69 サインインできない, 73 書き込めない, 74 読み込めない。\n"
            u8"誤りがあれば何も書きません。\n");
    return "Usage: tarvell-config [--dir FOLDER] COMMAND\n"
           "\n"
           "Sets Tarvell's sender, options, delivery and address books from a terminal.\n"
           "\n"
           "  sender show                 show the sender record (the password as ****)\n"
           "  sender set KEY=VALUE...     set name, address, smtp, pop3, login\n"
           "       --password-stdin       read the password from one line of standard input\n"
           "  options show                show the options\n"
           "  options set KEY=VALUE...    set editor, textdir, bindir\n"
           "  delivery show               show Delivery.ini (TLS and log-in)\n"
           "  delivery set KEY=VALUE...   SmtpSecurity=none|starttls|tls,\n"
           "                              PopSecurity=none|stls|tls, CaFile=PEM file,\n"
           "                              Authentication=pop-before-smtp|smtp-auth|none|oauth2,\n"
           "                              OAuthProvider=microsoft|google|custom, OAuthClientId,\n"
           "                              OAuthTenant, OAuthScope, OAuthTokenCommand ...\n"
           "  oauth login [--device]      sign in with OAuth 2.0 (type the code shown in a "
           "browser)\n"
           "  oauth status | oauth logout show whether signed in / forget the sign-in\n"
           "  book export [BOOK]          write the book as CSV (No,name,address) to stdout\n"
           "       --encoding cp932       write Shift_JIS (default UTF-8)\n"
           "  book import [BOOK] FILE.csv read CSV (UTF-8 or CP932; - for standard input)\n"
           "       --dry-run              show what would change, write nothing\n"
           "\n"
           "BOOK is Address.tvl (default) or @GROUP. Without --dir the program folder is the one\n"
           "tarvell itself uses. Exit status: 0 done, 64 usage, 65 bad data, 66 missing input,\n"
           "69 sign-in failed, 73 cannot write, 74 cannot read. Nothing is written when anything\n"
           "is wrong.\n";
}
} // namespace

int RunTarvellConfig(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                     std::ostream& err, bool (*pOpenBrowser)(const std::string& strUrl))
{
    try
    {
        const Arguments parsed = ParseArguments(args);
        if (parsed.bHelp)
        {
            out << HelpText();
            return EX_OK;
        }
        const std::string strCommand = parsed.words.empty() ? std::string() : parsed.words[0];
        if (strCommand == "sender" || strCommand == "options")
        {
            const int nStatus =
                strCommand == "sender" ? Sender(parsed, in, out) : Options(parsed, out);
            // A running Tarvell writes its records at its close: it keeps this change unless
            // it changed the same record too, and then asks.
            if (nStatus == EX_OK && parsed.words.size() > 1 && parsed.words[1] == "set" &&
                FolderInUse(parsed.strDir))
                WriteUtf8(err, "tarvell-config: 注意: このフォルダを使う Tarvell が動いています。"
                               "Tarvell を閉じるとき、Tarvell でも同じ設定を変えていれば、"
                               "どちらを残すか尋ねられます。\n");
            return nStatus;
        }
        if (strCommand == "book")
            return Book(parsed, in, out, err);
        if (strCommand == "delivery")
            return Delivery(parsed, out);
        if (strCommand == "oauth")
            return OAuth(parsed, out, pOpenBrowser);
        err << HelpText();
        return EX_USAGE;
    }
    catch (const CExit& exit)
    {
        if (!exit.strMessage.empty())
            WriteUtf8(err, "tarvell-config: " + exit.strMessage + "\n");
        return exit.nStatus;
    }
}
