// TestBooks.h - address books for tests, filled from (name, address) pairs from entry 1 on.
#pragma once
#include "addr/AddressBook.h"
#include "app/Sjis.h"

#include <string>
#include <utility>
#include <vector>

inline AddressBook BookOf(const std::vector<std::pair<std::string, std::string>>& entries)
{
    AddressBook book;
    for (std::size_t i = 0; i < entries.size() && i < std::size(book.entries); ++i)
    {
        SetField(book.entries[i].szName, entries[i].first);
        SetField(book.entries[i].szAddress, entries[i].second);
    }
    return book;
}
