#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One network connection of the machine: the local network "LAN" or a dial-up
// entry of a remote-access phone book.
struct TConnection {
    enum TState : std::uint8_t { InPhoneBook = 0, LocalNetwork = 1, NotInPhoneBook = 2 };

    std::uint32_t Handle = 0;  // an open dial-up connection; never set here
    std::string Name;
    std::uint8_t State = InPhoneBook;
    std::uint8_t Local = 0;  // 1 for "LAN"
    // Carried from file to file unchanged.
    std::array<std::uint8_t, 8> ValueA{};
    std::array<std::uint8_t, 8> ValueB{};
};

// The list of connections, kept in "netconn.mfd" in the program's folder from
// one run to the next. Linux has no phone book, so after the first start the
// file holds the "LAN" entry and whatever an earlier file held.
//
// File: the bytes "VER ", the version 65536, the entry count, then per entry
// the name's length, the name's bytes and the two 8-byte values; integers
// 4 bytes little-endian.
class TConnections {
public:
    static constexpr std::uint32_t kVersion = 65536;
    static constexpr const char* kFileName = "netconn.mfd";
    static constexpr const char* kLan = "LAN";
    // Longer names are not read (the file is taken as ending there).
    static constexpr std::uint32_t kMaxNameLength = 4046;

    std::vector<TConnection> Items;

    // The entry of that name (letters A to Z compared without regard to case).
    TConnection* Find(const std::string& name);

    // Appends the entries of the file; a missing, short or foreign file gives
    // what could be read (nothing for a wrong magic). False when not all of it.
    bool LoadFromFile(const std::string& path);
    // Writes the file anew (to a new file renamed over the old); deletes it
    // when the list is empty. Throws std::runtime_error when it cannot be written.
    void SaveToFile(const std::string& path) const;

    // Marks every entry but "LAN" as no longer in the phone book, adds "LAN"
    // when missing, then adds or marks the phone book's entries.
    void Refresh(const std::vector<std::string>& phoneBook);

    // At program start: load the program folder's file and refresh it with the phone book.
    void StartUp();
    // At program end: write the program folder's file.
    void ShutDown() const;
};

// The dial-up entries of the remote-access phone book; none on Linux.
std::vector<std::string> PhoneBookEntries();
