// FormStrings.h - what the send form holds and shows: its five fields, the status line and the
// last failure's detail (CP932).
#pragma once
#include <array>
#include <cstddef>
#include <string>

// The form's fields, in the order the window shows and reads them.
enum class FormField : std::size_t
{
    ToName,
    ToAddress,
    Title,
    TextFile,
    BinFile,
};
constexpr FormField kFormFields[] = {FormField::ToName, FormField::ToAddress, FormField::Title,
                                     FormField::TextFile, FormField::BinFile};

// The most CP932 bytes the window takes into a field; a send checks its request fields again.
constexpr int FormFieldLimit(FormField field)
{
    return field == FormField::ToName ? 127 : 255;
}

struct FormStrings
{
    std::array<std::string, std::size(kFormFields)> fields;
    std::string strStatus;
    std::string strDetail; // "<step>: <server reply or error>" after a failure, else empty

    std::string& operator[](FormField field) { return fields[static_cast<std::size_t>(field)]; }
    const std::string& operator[](FormField field) const
    {
        return fields[static_cast<std::size_t>(field)];
    }
};
