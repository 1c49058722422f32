// AddressBook.cpp - address book files and the group walk.
#include "addr/AddressBook.h"

#include "app/FileSystem.h"
#include "app/MailAddress.h"

#include <cstring>
#include <memory>

namespace
{
template <std::size_t N> void Terminate(char (&szField)[N])
{
    if (std::memchr(szField, '\0', N) == nullptr)
        szField[N - 1] = '\0';
}
} // namespace

bool LoadBook(const std::string& strPath, AddressBook& book)
{
    if (!PathExists(strPath))
        return false;
    if (GetFileSizeOrZero(strPath) != static_cast<std::int64_t>(ADDRESS_BOOK_FILE_SIZE))
        return false;
    // 19 KB: kept off the stack of callers that already hold a book.
    auto loaded = std::make_unique<AddressBook>();
    CFileReader file(strPath);
    if (file.Read(loaded.get(), sizeof(AddressBook)) != sizeof(AddressBook))
        throw CFileException(CFileException::endOfFile, strPath);
    for (AddressEntry& entry : loaded->entries)
    {
        Terminate(entry.szName);
        Terminate(entry.szAddress);
    }
    book = *loaded;
    return true;
}

void SaveBook(const std::string& strPath, const AddressBook& book)
{
    WriteFileReplacing(strPath, &book, sizeof(book));
}

int WalkGroupBook(
    const AddressBook& book,
    const std::function<void(int nSeq, const AddressEntry& entry)>& onMember,
    const std::function<void(int nEntry, const AddressEntry& entry, const char* pszWhy)>& onSkipped)
{
    int nSeq = 1;
    for (const AddressEntry& entry : book.entries)
    {
        if (entry.szName[0] == '/')
            break;
        const char* pszWhy = entry.szName[0] == '\0'      ? "宛先名が空です"
                             : entry.szAddress[0] == '\0' ? "宛先アドレスが空です"
                             : entry.szAddress[0] == '@' ? "グループの中のグループには送りません"
                                                         : nullptr;
        if (pszWhy != nullptr)
        {
            if (onSkipped && (entry.szName[0] != '\0' || entry.szAddress[0] != '\0'))
                onSkipped(static_cast<int>(&entry - book.entries) + 1, entry, pszWhy);
            continue;
        }
        onMember(nSeq, entry);
        ++nSeq;
    }
    return nSeq - 1;
}

std::string_view EntryAddressProblem(std::string_view name, std::string_view address)
{
    if ((name.empty() && address.empty()) || IsGroupReference(address))
        return {};
    return MailAddressProblem(address);
}

std::string GroupInGroupMessage()
{
    return "「グループアドレス帳」に「グループアドレス帳」を登録することは禁止してます";
}
