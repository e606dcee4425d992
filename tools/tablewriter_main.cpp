// tablewriter [--ldid 0x57] [--no-index] in.csv out.DBF
// tablewriter [--ldid 0x57] [--no-index] --records N out.DBF
// Writes the municipality table from a UTF-8 CSV whose header row names the
// fields, or N invented records.
// The manual page man/tablewriter.1.scd describes every option and the output: a new
// option gets its entry under OPTIONEN there (the installed-package test checks it).
#include "CsvReader.h"
#include "FileLookup.h"
#include "SyntheticMunicipalities.h"
#include "TableWriter.h"

#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

struct Options
{
    unsigned ldid = 0x57;
    bool index = true;
    long long records = -1;
    std::string csv;
    std::string out;
};

int usage()
{
    std::cerr << "Aufruf: tablewriter [--ldid 0x57] [--no-index] EINGABE.csv AUSGABE.DBF\n"
                 "        tablewriter [--ldid 0x57] [--no-index] --records N AUSGABE.DBF\n";
    return 2;
}

// A whole number of at least 0: decimal, with "0x" hexadecimal, with a leading 0 octal.
bool parseCount(std::string_view text, long long &value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        text.remove_prefix(1);
    }
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end && !text.empty() && text[0] != '-' && value >= 0;
}

bool parseArgs(int argc, char **argv, Options &o)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-index") {
            o.index = false;
        } else if ((a == "--ldid" || a == "--records") && i + 1 < argc) {
            long long v = 0;
            if (!parseCount(argv[++i], v) || (a == "--ldid" && v > 255) ||
                (a == "--records" && v > 100000000))
                return false;
            if (a == "--ldid")
                o.ldid = static_cast<unsigned>(v);
            else
                o.records = v;
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else {
            files.push_back(a);
        }
    }
    if (o.records >= 0 && files.size() == 1) {
        o.out = files[0];
        return true;
    }
    if (o.records < 0 && files.size() == 2) {
        o.csv = files[0];
        o.out = files[1];
        return true;
    }
    return false;
}

// The CSV's columns in the table's field order; column names compared without
// regard to ASCII letter case.
bool columnOrder(const CsvReader::Row &header, std::vector<std::size_t> &order, std::string &error)
{
    const auto &layout = TableWriter::municipalityLayout();
    if (header.size() != layout.size()) {
        error = "Die Kopfzeile hat " + std::to_string(header.size()) + " Spalten statt " +
                std::to_string(layout.size()) + ".";
        return false;
    }
    for (const WriterField &f : layout) {
        std::size_t col = 0;
        while (col < header.size() && !dbase::FileLookup::equalNoCase(header[col], f.name))
            ++col;
        if (col == header.size()) {
            error = "Die Kopfzeile nennt das Feld " + f.name + " nicht.";
            return false;
        }
        order.push_back(col);
    }
    return true;
}

bool appendCsv(const std::string &csvPath, TableWriter &writer, std::string &error)
{
    std::ifstream in(csvPath, std::ios::binary);
    if (!in) {
        error = "Die Datei " + csvPath + " kann nicht gelesen werden.";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<CsvReader::Row> rows;
    std::vector<std::size_t> order;
    if (!CsvReader::parse(text.str(), rows, error) || rows.empty() ||
        !columnOrder(rows[0], order, error)) {
        if (error.empty())
            error = "Die Datei " + csvPath + " ist leer.";
        return false;
    }
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].size() != order.size()) {
            error = "Datensatz " + std::to_string(r) + " hat " + std::to_string(rows[r].size()) +
                    " Werte statt " + std::to_string(order.size()) + ".";
            return false;
        }
        std::vector<std::string> values;
        for (const std::size_t col : order)
            values.push_back(rows[r][col]);
        if (!writer.append(values, error))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!parseArgs(argc, argv, o))
        return usage();
    TableWriter writer(o.out, static_cast<std::uint8_t>(o.ldid));
    std::string error;
    bool ok = writer.open(error);
    if (ok && o.records >= 0) {
        SyntheticMunicipalities source;
        for (long long n = 1; ok && n <= o.records; ++n)
            ok = writer.append(source.next(static_cast<std::uint32_t>(n)), error);
    } else if (ok) {
        ok = appendCsv(o.csv, writer, error);
    }
    ok = ok && writer.finish(o.index, error);
    for (const std::string &w : writer.warnings())
        std::cerr << "Warnung: " << w << '\n';
    if (!ok) {
        std::cerr << "tablewriter: " << error << '\n';
        return 1;
    }
    return 0;
}
