// AddressBook.h - address book files: 50 entries of a name and an address, stored as one raw
// image of exactly 19,200 bytes, and the walk of a group book that a group send makes.
#pragma once
#include "app/AppFiles.h" // MAIN_BOOK_NAME

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// One entry: a person (name and mail address), a group reference (address "@" + the file name of
// a group book), or empty. Both fields hold CP932 text ended by a NUL.
struct AddressEntry
{
    char szName[128] = {};
    char szAddress[256] = {};
};
static_assert(sizeof(AddressEntry) == 384);
static_assert(offsetof(AddressEntry, szAddress) == 128);

constexpr int ADDRESS_BOOK_ENTRIES = 50;

// A whole book; entry n (1..50) is entries[n - 1]. The file is this image, nothing else.
struct AddressBook
{
    AddressEntry entries[ADDRESS_BOOK_ENTRIES];
};
static_assert(sizeof(AddressBook) == 19200);
static_assert(offsetof(AddressBook, entries[49]) == std::size_t{49} * 384);

constexpr std::size_t ADDRESS_BOOK_FILE_SIZE = sizeof(AddressBook);

// Reads the book file at strPath over book. Returns true when it was read. A path that does not
// exist or a file of any size but 19,200 bytes is not a book: book stays as it is and nothing is
// reported (callers that want an empty book on failure empty it first). A file of the right size
// that cannot be opened or read raises CFileException. Fields without a NUL get one in their last
// byte, so a foreign file can never make a text run past its field.
bool LoadBook(const std::string& strPath, AddressBook& book);

// Writes all 50 entries to strPath in one write, through a temporary file renamed over the old
// one: a failed save raises CFileException and leaves the previous file as it was.
void SaveBook(const std::string& strPath, const AddressBook& book);

// Walks the book as a group send does, from entry 1 to 50: an entry whose name begins with "/"
// ends the walk; an entry with an empty name, an empty address or an address beginning with "@"
// (a group inside a group) is skipped; every other entry is a member and is passed to onMember
// with its number 1, 2, 3 ... in walk order. An exception thrown by onMember ends the walk.
// Returns the number of members passed. A skipped entry that is not wholly empty goes to
// onSkipped, when given, with its number in the book (1 to 50) and why it cannot be sent to.
int WalkGroupBook(const AddressBook& book,
                  const std::function<void(int nSeq, const AddressEntry& entry)>& onMember,
                  const std::function<void(int nEntry, const AddressEntry& entry,
                                           const char* pszWhy)>& onSkipped = nullptr);

// An address that names a group book: its first character is "@". A group book may not hold one.
inline bool IsGroupReference(std::string_view address)
{
    return !address.empty() && address[0] == '@';
}

// Why an entry's address is not one the send takes (MailAddressProblem), empty when it is. An
// entry being emptied (no name, no address) and a group reference, which has rules of its own,
// pass.
std::string_view EntryAddressProblem(std::string_view name, std::string_view address);

// "「グループアドレス帳」に「グループアドレス帳」を登録することは禁止してます": a group
// reference registered in a group book.
std::string GroupInGroupMessage();
