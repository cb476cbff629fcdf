#pragma once

#include <QString>

#include <array>

namespace kelvory::members {

// Column k of the roster grid, the edit box Text1(k) and field k of the members table
// hold the same value of a member; every part of the program that reads or writes a
// member goes by this order.
enum Field : int { Name, Address, City, Phone, Comment, RecordId };
inline constexpr int kRosterColumnCount = 6;
// The fields the operator edits, name to comment; the record id follows them.
inline constexpr int kMemberFieldCount = 5;

// A member's five fields, name to comment.
using Fields = std::array<QString, kMemberFieldCount>;

// The field as the operator knows it: the caption of its edit box, and its name in messages.
inline QString caption(int field)
{
    static const std::array<const char *, kRosterColumnCount> captions = {"Name",  "Address", "City, State, ZIP",
                                                                          "Phone", "Comment", "Record ID"};
    return QString::fromLatin1(captions[static_cast<std::size_t>(field)]);
}

} // namespace kelvory::members
