#include "integration/Connections.h"

#include "platform/Home.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool ReadUint32(std::istream& in, std::uint32_t& value) {
    unsigned char b[4];
    if (!in.read(reinterpret_cast<char*>(b), 4)) return false;
    value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return true;
}

void WriteUint32(std::ostream& out, std::uint32_t value) {
    const char b[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 24)};
    out.write(b, 4);
}

}  // namespace

TConnection* TConnections::Find(const std::string& name) {
    for (auto& item : Items)
        if (SameName(item.Name, name)) return &item;
    return nullptr;
}

bool TConnections::LoadFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char magic[4];
    if (!in.read(magic, 4) || std::string(magic, 4) != "VER ") return false;
    std::uint32_t version = 0, count = 0;
    if (!ReadUint32(in, version) || !ReadUint32(in, count)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        TConnection item;
        std::uint32_t length = 0;
        if (!ReadUint32(in, length) || length > kMaxNameLength) return false;
        item.Name.resize(length);
        if (!in.read(item.Name.data(), length)) return false;
        if (!in.read(reinterpret_cast<char*>(item.ValueA.data()), 8)) return false;
        if (!in.read(reinterpret_cast<char*>(item.ValueB.data()), 8)) return false;
        Items.push_back(std::move(item));
    }
    return true;
}

void TConnections::SaveToFile(const std::string& path) const {
    std::error_code ec;
    if (Items.empty()) {
        std::filesystem::remove(path, ec);
        return;
    }
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write("VER ", 4);
        WriteUint32(out, kVersion);
        WriteUint32(out, static_cast<std::uint32_t>(Items.size()));
        for (const auto& item : Items) {
            WriteUint32(out, static_cast<std::uint32_t>(item.Name.size()));
            out.write(item.Name.data(), static_cast<std::streamsize>(item.Name.size()));
            out.write(reinterpret_cast<const char*>(item.ValueA.data()), 8);
            out.write(reinterpret_cast<const char*>(item.ValueB.data()), 8);
        }
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            throw std::runtime_error("Cannot write " + path);
        }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        throw std::runtime_error("Cannot write " + path);
    }
}

void TConnections::Refresh(const std::vector<std::string>& phoneBook) {
    for (auto& item : Items)
        if (item.Name != kLan) item.State = TConnection::NotInPhoneBook;
    TConnection* lan = Find(kLan);
    if (!lan) {
        Items.push_back(TConnection{});
        lan = &Items.back();
        lan->Name = kLan;
    }
    // State and local are not stored: the "LAN" entry read from the file is the local network too.
    lan->State = TConnection::LocalNetwork;
    lan->Local = 1;
    for (const auto& name : phoneBook) {
        TConnection* item = Find(name);
        if (!item) {
            Items.push_back(TConnection{});
            item = &Items.back();
            item->Name = name;
        }
        item->State = TConnection::InPhoneBook;
    }
}

void TConnections::StartUp() {
    LoadFromFile(ProgramFile(kFileName));
    Refresh(PhoneBookEntries());
}

void TConnections::ShutDown() const { SaveToFile(ProgramFile(kFileName)); }

std::vector<std::string> PhoneBookEntries() { return {}; }
