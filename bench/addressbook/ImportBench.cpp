// Imports CSV files of contacts into the address book and reports the cost
// per contact: once for books made afresh from files of growing size, once
// for files of the same size imported one after another into a growing book.
// Every contact is saved as it is added, so the cost per contact must stay
// the same however large the book already is.
//
// Usage: bench_addressbook_import [contacts]
#include "addressbook/AddressImport.h"
#include "addressbook/Contacts.h"
#include "addressbook/DMAddress.h"
#include "base/UserInterface.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Wall time includes the disk's flushes; CPU time is the program's own work.
class TStopwatch {
public:
    void Print(const char* what, int count) const {
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - wallStart_).count() / count;
        const double cpu = 1e6 * static_cast<double>(std::clock() - cpuStart_) / CLOCKS_PER_SEC / count;
        std::printf("%-34s %8.1f us  %6.1f us\n", what, us, cpu);
    }
    double Seconds() const { return std::chrono::duration<double>(Clock::now() - wallStart_).count(); }

private:
    Clock::time_point wallStart_ = Clock::now();
    std::clock_t cpuStart_ = std::clock();
};

// A file as the export writes it, every contact with a name, two phones, an
// address, a company and a street that needs quotes.
std::string WriteContacts(const std::string& file, int first, int count) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const auto& columns = ExportColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) out << (i ? "," : "") << columns[i];
    out << "\r\n";
    for (int n = first; n < first + count; ++n) {
        const std::string id = std::to_string(n);
        TCsvRecord values(columns.size());
        values[0] = "First" + id;
        values[1] = "Last" + id;
        values[3] = "Last" + id + ", First" + id;
        values[5] = "contact" + id + "@example.org";
        values[6] = "Street " + id + "\r\nBack building";
        values[7] = "Bonn";
        values[11] = "+49 228 " + id;
        values[21] = "+49 228 9" + id;
        values[23] = "Company " + id;
        for (std::size_t i = 0; i < values.size(); ++i) out << (i ? "," : "") << CsvValue(values[i]);
        out << "\r\n";
    }
    return file;
}

int Import(TAddressDM& book, const std::string& file) {
    TAddressImport import(book);
    import.ReadColumns(file);
    return import.Run();
}

void FreshBooks(const std::string& folder, int total) {
    std::printf("a fresh book per file, per contact: wall, CPU\n");
    for (int size : {total / 10, total / 2, total}) {
        const std::string file = WriteContacts(folder + "/fresh.csv", 1, size);
        std::filesystem::remove(folder + "/addressbook.dat");
        TAddressDM book;
        TStopwatch watch;
        const int added = Import(book, file);
        char label[48];
        std::snprintf(label, sizeof label, "%6d contacts (%.2f s)", added, watch.Seconds());
        watch.Print(label, added);
        book.Close();
    }
    std::printf("\n");
}

void GrowingBook(const std::string& folder, int total) {
    const int steps = 10;
    const int size = total / steps;
    std::printf("%d files of %d into one book, per contact: wall, CPU\n", steps, size);
    std::filesystem::remove(folder + "/addressbook.dat");
    TAddressDM book;
    TStopwatch whole;
    for (int step = 0; step < steps; ++step) {
        const std::string file = WriteContacts(folder + "/step.csv", step * size + 1, size);
        TStopwatch watch;
        const int added = Import(book, file);
        char label[48];
        std::snprintf(label, sizeof label, "book of %6d after import", book.cdsAdressBook.RecordCount());
        watch.Print(label, added);
    }
    std::printf("all %d contacts: %.2f s; file size %ju bytes\n", book.cdsAdressBook.RecordCount(), whole.Seconds(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(folder + "/addressbook.dat")));
    book.Close();
}

}  // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::max(10, std::atoi(argv[1])) : 10000;
    char folder[] = "/tmp/tarnwick-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("TARNWICK_HOME", folder, 1);
    std::filesystem::current_path(folder);
    TSilentUserInterface ui;
    TUserInterfaceScope scope(ui);

    FreshBooks(folder, total);
    GrowingBook(folder, total);

    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    return 0;
}
