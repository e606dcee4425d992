#include "TableDump.h"

#include "CsvWriter.h"
#include "DbaseEngine.h"
#include "DbfFile.h"
#include "ErrorMessage.h"
#include "FieldDecoder.h"
#include "FileLookup.h"
#include "KeySearch.h"
#include "TextView.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using namespace dbase;

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFF);
    return buf;
}

// The table file that the engine opens for path: found without regard to letter case.
std::optional<std::string> tableFile(const std::string &path)
{
    const std::filesystem::path p(path);
    return FileLookup::find(p.parent_path().string(), p.filename().string());
}

// An open table: the engine and a cursor on it, the code page its texts are read in
// (the table's, or the one the user gave) and where that came from.
struct OpenTable
{
    std::unique_ptr<Engine> engine = createDbaseEngine();
    std::unique_ptr<EngineCursor> cursor;
    int codePage = CodePage::Ansi;
    CodePageOrigin origin = CodePageOrigin::LanguageDriver;
    std::unique_ptr<TextView> view;

    // The message the window shows for the failure, its lines one to a line.
    std::string failure(Status code) const { return ErrorMessage(*engine, code).text("\n"); }

    bool open(const TableDump::Options &options, std::ostream &err)
    {
        const std::filesystem::path p(options.table);
        const std::string dir = p.parent_path().string();
        const std::string name = p.filename().string();
        engine->start();
        const Status s = engine->openTable(dir, name, engine->driverFor(dir, name), cursor);
        if (s != status::Ok) {
            err << "tabledump: " << failure(s) << '\n';
            return false;
        }
        cursor->cursorLocale(codePage);
        cursor->codePageOrigin(origin);
        if (options.codePage != 0) {
            codePage = options.codePage;
            origin = CodePageOrigin::User;
        }
        view = std::make_unique<TextView>(codePage, options.ansi);
        return true;
    }

    std::string utf8(const std::string &stored) const { return view->utf8(stored); }
};

// The notes that cannot be read: each is reported on err with its record and field,
// and its cell stays empty.
struct NoteFailures
{
    std::ostream &err;
    std::uint32_t recno = 0;
    bool any = false;

    void report(const OpenTable &t, const FieldDesc &field, Status s)
    {
        err << "tabledump: Satz " << recno << ", " << t.utf8(field.name) << ": " << t.failure(s)
            << '\n';
        any = true;
    }
};

// Writes field number fieldNo of record, decoded as the window decodes it, its texts
// converted by the dump's view; a note that cannot be read goes to failures.
void writeField(OpenTable &t, CsvWriter &csv, int fieldNo, const FieldDesc &field,
                const std::string &record, std::string &note, NoteFailures &failures)
{
    if (field.type == FieldType::Text) {
        csv.stored(FieldDecoder::storedText(field, record.data()));
        return;
    }
    if (field.type != FieldType::Memo) {
        const FieldValue v = FieldDecoder::decode(field, record.data());
        if ((field.type == FieldType::SmallInt || field.type == FieldType::Integer) && !v.blank)
            csv.number(v.integer);
        else
            csv.stored(v.text);
        return;
    }
    if (const Status s = t.cursor->readMemo(fieldNo, record, note); s != status::Ok) {
        failures.report(t, field, s);
        return;
    }
    // Pictures, OLE objects and binary memos are no text.
    if (field.typeLetter != 'M' && !note.empty())
        csv.text(FieldDecoder::placeholder(field.typeLetter));
    else
        csv.stored(note);
}

// Writes the header row and every record from the one in record (when s is Ok) to
// the end of the active order. Answers the exit status: 1 when a note could not be read.
int writeRecords(OpenTable &t, bool storageOrder, Status s, std::string &record, RecordProps &props,
                 std::ostream &out, std::ostream &err)
{
    const std::vector<FieldDesc> fields = t.cursor->fieldDescs();
    out << "RECNO";
    for (const FieldDesc &f : fields)
        out << ',' << CsvWriter::quoted(t.utf8(f.name));
    out << '\n';
    NoteFailures failures{err};
    CsvWriter csv(*t.view, out);
    std::string note;
    // In storage order the notes come (mostly) in the memo file's order: read ahead.
    // In a tag's order each is read when it is needed.
    if (storageOrder)
        t.cursor->readNotesAhead();
    // A failed write stops the walk: the caller reports it.
    for (; s == status::Ok && out; s = t.cursor->getNext(record, props)) {
        csv.number(props.physicalNumber);
        failures.recno = props.physicalNumber;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            csv.put(',');
            writeField(t, csv, static_cast<int>(i) + 1, fields[i], record, note, failures);
        }
        csv.endRecord();
    }
    return failures.any ? 1 : 0;
}

// Puts the cursor on the record that the window's name search finds for typed in the
// active order, and leaves it in record. Typed text is UTF-8; it reaches the table's
// code page straight, or with --ansi through Windows-1252 as in the window.
Status seek(OpenTable &t, const TableDump::Options &options, std::string &record,
            RecordProps &props, std::ostream &err)
{
    IndexFacts facts;
    if (const Status s = t.cursor->indexFacts(facts); s != status::Ok) {
        err << "tabledump: " << t.failure(s) << '\n';
        return s;
    }
    if (facts.keyFields.empty()) {
        err << "tabledump: --seek sucht nur in der Reihenfolge eines Index-Tags über ein Feld; "
            << options.order << " ordnet nach einem Ausdruck.\n";
        return status::InvalidParameter;
    }
    const auto how = options.ansi ? KeySearch::Typed::ThroughAnsi : KeySearch::Typed::Utf8;
    const Status s = KeySearch::nearest(*t.cursor, KeySearch::lowerAsciiLetters(*options.seek),
                                        t.view->page(), how, record, props);
    if (s != status::Ok && s != status::NoNextRecord && s != status::NoPriorRecord)
        err << "tabledump: " << t.failure(s) << '\n';
    return s;
}

std::string originText(const OpenTable &t, const std::string &tablePath, unsigned driver)
{
    switch (t.origin) {
    case CodePageOrigin::User:
        return "vom Benutzer: --codepage";
    case CodePageOrigin::CpgFile: {
        const std::filesystem::path table(tablePath);
        const auto cpg =
            FileLookup::find(table.parent_path().string(),
                             FileLookup::withExtension(table.filename().string(), ".CPG"));
        return cpg ? "aus der .cpg-Datei " + std::filesystem::path(*cpg).filename().string()
                   : "aus einer .cpg-Datei";
    }
    case CodePageOrigin::Guess:
        return "geraten, die Sprachkennung " + hex2(driver) + " nennt keine";
    case CodePageOrigin::LanguageDriver:
        break;
    }
    return "Sprachkennung " + hex2(driver);
}

void printFields(const OpenTable &t, std::ostream &out)
{
    out << "Felder:\n";
    int n = 0;
    for (const FieldDesc &f : t.cursor->fieldDescs())
        out << "  " << ++n << ' ' << t.utf8(f.name) << ' ' << f.typeLetter << ' ' << f.width << ' '
            << f.decimals << '\n';
}

void printTags(const OpenTable &t, std::ostream &out)
{
    out << "Indizes:\n";
    for (const IndexDesc &d : t.cursor->indexDescs())
        out << "  " << t.utf8(d.tagName) << " (" << d.indexFile << ") " << d.keyType << ' '
            << d.keySize << ": " << t.utf8(d.expression) << (d.descending ? " absteigend" : "")
            << (d.unique ? " eindeutig" : "") << '\n';
}

} // namespace

int TableDump::info(const Options &options, std::ostream &out, std::ostream &err)
{
    OpenTable t;
    if (!t.open(options, err))
        return 1;
    // The header facts come from the file the engine has just opened.
    const auto path = tableFile(options.table);
    std::unique_ptr<DbfFile> file;
    std::string problem = "Die Tabelle wurde nach dem Öffnen entfernt.";
    if (!path || DbfFile::open(*path, file, problem) != status::Ok) {
        err << "tabledump: " << options.table << ": " << problem << '\n';
        return 1;
    }
    std::int32_t count = 0;
    t.cursor->countRecords(count);
    const DbfLayout &layout = file->layout();
    out << "Datei: " << std::filesystem::path(*path).filename().string() << '\n'
        << "Version: " << hex2(layout.version) << " (" << DbfFile::versionName(layout.version)
        << ")\n"
        << "Codepage: " << t.codePage << " (" << originText(t, *path, layout.languageDriver)
        << ")\n"
        << "Datensätze: " << count << " (gespeichert " << layout.recordCount << ")\n"
        << "Satzlänge: " << layout.recordLength << '\n';
    printFields(t, out);
    printTags(t, out);
    return 0;
}

int TableDump::records(const Options &options, std::ostream &out, std::ostream &err)
{
    OpenTable t;
    if (!t.open(options, err))
        return 1;
    if (!options.order.empty()) {
        if (const Status s = t.cursor->switchToIndex("", options.order, false); s != status::Ok) {
            err << "tabledump: " << t.failure(s) << '\n';
            return 1;
        }
    }
    std::string record;
    RecordProps props;
    Status s = status::Ok;
    if (options.seek.has_value()) {
        s = seek(t, options, record, props, err);
        if (s != status::Ok && s != status::NoNextRecord && s != status::NoPriorRecord)
            return 1;
    } else {
        t.cursor->setToBegin();
        s = t.cursor->getNext(record, props);
    }
    return writeRecords(t, options.order.empty(), s, record, props, out, err);
}
