// AddressBookTest.cpp - book files (exact size, raw image, safe replacement) and the group walk.
#include "addr/AddressBook.h"

#include "app/FileError.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"

#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"
#include "support/TestBooks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace
{
class AddressBookFile : public ::testing::Test
{
  protected:
    void SetUp() override { m_strDir = m_temp.Dir(); }

    void WriteBytes(const std::string& strName, const std::string& bytes)
    {
        m_temp.Write(strName, bytes);
    }
    std::string ReadBytes(const std::string& strName) { return m_temp.Read(strName); }

    CTempFolder m_temp;
    std::string m_strDir;
};

std::vector<std::pair<int, std::string>> Walk(const AddressBook& book)
{
    std::vector<std::pair<int, std::string>> members;
    WalkGroupBook(book, [&](int nSeq, const AddressEntry& entry) {
        members.emplace_back(nSeq,
                             FieldText(entry.szName) + "<" + FieldText(entry.szAddress) + ">");
    });
    return members;
}
} // namespace

TEST_F(AddressBookFile, SavedBookIsTheRawImageAndLoadsBack)
{
    AddressBook book = BookOf({{"山田ソ表", "yamada@example.jp"}, {"グループ", "@友人.tvl"}});
    std::memset(book.entries[49].szAddress, 'x', 256); // no NUL at all: stored as it is
    SaveBook(m_strDir + "Address.tvl", book);

    const std::string bytes = ReadBytes("Address.tvl");
    ASSERT_EQ(bytes.size(), 19200u);
    EXPECT_EQ(bytes.substr(0, 9), std::string("山田ソ表", 9));
    EXPECT_EQ(bytes.substr(128, 17), "yamada@example.jp");
    EXPECT_EQ(bytes.substr(384 + 128, 10), std::string("@友人.tvl", 10));

    AddressBook loaded;
    ASSERT_TRUE(LoadBook(m_strDir + "Address.tvl", loaded));
    EXPECT_EQ(FieldText(loaded.entries[0].szName), "山田ソ表");
    EXPECT_EQ(FieldText(loaded.entries[1].szAddress), "@友人.tvl");
    // A field without its NUL is ended inside the field, never read past it.
    EXPECT_EQ(bytes.substr(19199), "x");
    EXPECT_EQ(FieldText(loaded.entries[49].szAddress), std::string(255, 'x'));
}

TEST_F(AddressBookFile, FileOfAnyOtherSizeOrMissingLeavesTheBookAsItIs)
{
    const AddressBook before = BookOf({{"残す", "keep@example.jp"}});
    for (const std::size_t nSize : {std::size_t(0), std::size_t(19199), std::size_t(19201)})
    {
        WriteBytes("@g.tvl", std::string(nSize, 'A'));
        AddressBook book = before;
        EXPECT_FALSE(LoadBook(m_strDir + "@g.tvl", book)) << nSize;
        EXPECT_EQ(FieldText(book.entries[0].szName), "残す") << nSize;
        EXPECT_EQ(book.entries[0].szName[4], '\0') << nSize;
    }
    AddressBook book = before;
    EXPECT_FALSE(LoadBook(m_strDir + "missing.tvl", book));
    EXPECT_EQ(FieldText(book.entries[0].szAddress), "keep@example.jp");
    std::filesystem::create_directory(m_strDir + "folder.tvl");
    EXPECT_FALSE(LoadBook(m_strDir + "folder.tvl", book));
}

TEST_F(AddressBookFile, FailedSaveLeavesThePreviousBookIntact)
{
    SaveBook(m_strDir + "Address.tvl", BookOf({{"旧", "old@example.jp"}}));
    const std::string old = ReadBytes("Address.tvl");

    bool bThrown = false;
    {
        // A file size limit makes the write fail part way, as a full disk does.
        CFileSizeLimit limit(4096);
        if (!limit.Unavailable().empty())
            GTEST_SKIP() << limit.Unavailable();
        try
        {
            SaveBook(m_strDir + "Address.tvl", BookOf({{"新", "new@example.jp"}}));
        }
        catch (const CFileException& e)
        {
            bThrown = true;
            EXPECT_EQ(e.m_cause, CFileException::diskFull);
        }
    }
    EXPECT_TRUE(bThrown);
    EXPECT_EQ(ReadBytes("Address.tvl"), old);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_strDir), {}), 1);

    EXPECT_THROW(SaveBook(m_strDir + "no/such/folder.tvl", AddressBook()), CFileException);
}

TEST(GroupWalk, SkipsHalfFilledAndNestedEntriesWithoutUsingANumber)
{
    const AddressBook book = BookOf({
        {"一郎", "ichiro@example.jp"},
        {"入れ子", "@other.tvl"},
        {"", "noname@example.jp"},
        {"住所なし", ""},
        {"", ""},
        {"二郎", "jiro@example.jp"},
    });
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "一郎<ichiro@example.jp>"},
        {2, "二郎<jiro@example.jp>"},
    };
    EXPECT_EQ(Walk(book), expected);
}

TEST(GroupWalk, NameBeginningWithSlashEndsTheWalk)
{
    EXPECT_TRUE(Walk(BookOf({{"/end", "a@example.jp"}, {"後", "b@example.jp"}})).empty());
    const auto members = Walk(BookOf({{"前", "a@example.jp"}, {"/", ""}, {"後", "b@example.jp"}}));
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].second, "前<a@example.jp>");
    // "/" further inside a name is an ordinary character.
    EXPECT_EQ(Walk(BookOf({{"a/b", "a@example.jp"}})).size(), 1u);
}

TEST(GroupWalk, FullBookNumbersFiftyMembersAndStopsOnException)
{
    AddressBook book;
    for (int i = 0; i < ADDRESS_BOOK_ENTRIES; ++i)
    {
        const std::string strName = std::string("m").append(std::to_string(i + 1));
        SetField(book.entries[i].szName, strName);
        SetField(book.entries[i].szAddress, strName + "@example.jp");
    }
    const auto members = Walk(book);
    ASSERT_EQ(members.size(), 50u);
    EXPECT_EQ(members.back(), (std::pair<int, std::string>(50, "m50<m50@example.jp>")));

    int nCalls = 0;
    EXPECT_THROW(WalkGroupBook(book,
                               [&](int nSeq, const AddressEntry&) {
                                   ++nCalls;
                                   if (nSeq == 3)
                                       throw CFileException(CFileException::diskFull, "x");
                               }),
                 CFileException);
    EXPECT_EQ(nCalls, 3);
}
