#include "DbaseEngine.h"

#include "CpgFile.h"
#include "DbaseCursor.h"
#include "DbfFile.h"
#include "ErrorStack.h"
#include "FileLookup.h"
#include "MemoFile.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace dbase {

namespace {

// Texts are UTF-8.
struct StatusText
{
    Status code;
    const char *text;
};

constexpr StatusText kTexts[] = {
    {status::NoPriorRecord, "Anfang der Tabelle erreicht."},
    {status::NoNextRecord, "Ende der Tabelle erreicht."},
    {status::NoCurrentRecord, "Kein aktueller Datensatz."},
    {status::EndOfMemo, "Ende des Memotextes erreicht."},
    {status::IndexOpenAlready, "Die Indexdatei ist bereits geöffnet."},
    {status::AlreadyStarted, "Die Datenbank-Engine ist bereits gestartet."},
    {status::TableReadOnly, "Die Tabelle kann nur gelesen werden."},
    {status::OutOfMemory, "Nicht genügend Speicher."},
    {status::FileNotFound, "Datei nicht gefunden."},
    {status::FileUnreadable, "Die Datei kann nicht gelesen werden."},
    {status::NotAFile, "Keine reguläre Datei."},
    {status::NotATable, "Die Datei ist keine dBASE-Tabelle."},
    {status::TableDamaged, "Die Tabelle ist beschädigt."},
    {status::MemoDamaged, "Die Memodatei ist beschädigt."},
    {status::IndexDamaged, "Die Indexdatei ist beschädigt."},
    {status::TableEncrypted, "Die Tabelle ist verschlüsselt und kann nicht gelesen werden."},
    {status::FileChanged, "Die Datei wurde während des Lesens verändert."},
    {status::UnsupportedVersion, "Diese Tabellenversion wird nicht unterstützt."},
    {status::TagNotFound, "Index existiert nicht."},
    {status::BadKeyExpression, "Ungültiger Indexausdruck."},
    {status::NotOpen, "Die Tabelle oder die Datenbank-Engine ist nicht geöffnet."},
    {status::InvalidParameter, "Ungültiger Parameter."},
    {status::LimitExceeded, "Eine Grenze der Datenbank-Engine wurde überschritten."},
};

bool hasMemoField(const DbfFile &table)
{
    for (const FieldDesc &f : table.fields()) {
        if (f.type == FieldType::Memo)
            return true;
    }
    return false;
}

// The path as the error texts show it: absolute where it can be made so.
// What tells one state of a file from another: device, inode, size and modification
// time; any rewrite, append or truncation changes at least one of them.
struct FileIdentity
{
    bool valid = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;

    static FileIdentity of(const std::string &path)
    {
        struct stat st
        {
        };
        FileIdentity id;
        if (::stat(path.c_str(), &st) != 0)
            return id;
        id.valid = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        id.size = st.st_size;
        id.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return id;
    }
    bool operator==(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode && size == other.size &&
               modifiedNs == other.modifiedNs;
    }
};

std::string shownPath(const std::string &directory, const std::string &name)
{
    std::error_code ec;
    const std::filesystem::path p =
        directory.empty() ? std::filesystem::path(name) : std::filesystem::path(directory) / name;
    const auto absolute = std::filesystem::absolute(p, ec);
    return ec ? p.string() : absolute.lexically_normal().string();
}

class DbaseEngine : public Engine
{
public:
    Status start() override;
    void stop() override
    {
        m_started = false;
        m_lastTable.reset();
    }
    bool isStarted() const override { return m_started; }
    std::string driverFor(const std::string &directory,
                          const std::string &tableName) const override;
    Status openTable(const std::string &directory, const std::string &tableName,
                     const std::string &driver, std::unique_ptr<EngineCursor> &cursor) override;
    std::string errorText(Status code) const override;
    Status errorEntry(int n, int &nativeCode, std::string &text) const override;

private:
    Status openDbf(const std::string &directory, const std::string &tableName,
                   std::shared_ptr<const DbfFile> &table);
    Status openMemo(const std::string &directory, const DbfFile &table,
                    std::unique_ptr<MemoFile> &memo);
    Status openProductionIndex(const std::string &directory, const std::string &tablePath,
                               bool required, DbaseCursor &cursor);

    bool m_started = false;
    std::shared_ptr<ErrorStack> m_errors = std::make_shared<ErrorStack>();
    // The table file read last, kept so that opening the same unchanged file again
    // (the cursor first opens the table to read its index list, then opens it for
    // good) does not read every record a second time.
    std::shared_ptr<const DbfFile> m_lastTable;
    FileIdentity m_lastTableIdentity;
};

Status DbaseEngine::start()
{
    if (m_started)
        return status::AlreadyStarted;
    m_started = true;
    return status::Ok;
}

// ".DBF" is dBASE unless a FoxPro memo (.FPT) or compound index (.CDX) of the same
// base name lies beside it (a file: a directory of that name is no FoxPro file);
// ".DB" and every other extension Paradox; ".TXT" ASCII.
std::string DbaseEngine::driverFor(const std::string &directory, const std::string &tableName) const
{
    const std::string ext = FileLookup::upperExtension(tableName);
    if (ext == ".TXT")
        return "ASCIIDRV";
    if (ext != ".DBF")
        return "PARADOX";
    for (const char *companion : {".FPT", ".CDX"}) {
        const auto path =
            FileLookup::find(directory, FileLookup::withExtension(tableName, companion));
        std::error_code ec;
        if (path && std::filesystem::is_regular_file(*path, ec))
            return "FOXPRO";
    }
    return "DBASE";
}

Status DbaseEngine::openTable(const std::string &directory, const std::string &tableName,
                              const std::string &driver, std::unique_ptr<EngineCursor> &cursor)
{
    if (!m_started)
        return m_errors->fail(status::NotOpen, shownPath(directory, tableName),
                              "Die Datenbank-Engine läuft nicht.");
    if (driver != "DBASE" && driver != "FOXPRO")
        return m_errors->fail(status::InvalidParameter, shownPath(directory, tableName),
                              "Der Tabellentyp " + driver + " wird nicht unterstützt.");
    std::shared_ptr<const DbfFile> table;
    if (const Status s = openDbf(directory, tableName, table); s != status::Ok)
        return s;
    std::unique_ptr<MemoFile> memo;
    if (const Status s = openMemo(directory, *table, memo); s != status::Ok)
        return s;
    const DbfLayout &layout = table->layout();
    // The production-index flag promises an .MDX to the dBASE driver. Read by the
    // FoxPro driver (a structural .CDX or an .FPT beside the table) the flag stands
    // for the .CDX, which the engine does not read: an .MDX is then opened if there
    // is one, and not required. A dBASE 7 table's .MDX has another tag layout and is
    // not read: such a table opens in its natural order only.
    const bool readIndex = layout.productionIndex && !layout.level7;
    const bool indexRequired = driver == "DBASE";
    const std::string tablePath = table->path();
    // A .cpg file was written by the program that wrote the texts: it wins over the
    // language-driver byte when it names a code page the engine converts.
    int codePage = table->codePage();
    CodePageOrigin origin = table->codePageOrigin();
    if (const int named =
            CpgFile::read(directory, std::filesystem::path(tablePath).filename().string());
        named != 0) {
        codePage = named;
        origin = CodePageOrigin::CpgFile;
    }
    auto opened = std::make_unique<DbaseCursor>(m_errors, std::move(table), std::move(memo),
                                                directory, codePage, origin);
    if (readIndex) {
        if (const Status s = openProductionIndex(directory, tablePath, indexRequired, *opened);
            s != status::Ok)
            return s;
    }
    cursor = std::move(opened);
    return status::Ok;
}

// A bare name without extension means a .DBF, as in dBASE.
Status DbaseEngine::openDbf(const std::string &directory, const std::string &tableName,
                            std::shared_ptr<const DbfFile> &table)
{
    const std::string name =
        FileLookup::upperExtension(tableName).empty() ? tableName + ".DBF" : tableName;
    const auto path = FileLookup::find(directory, name);
    if (!path)
        return m_errors->fail(status::FileNotFound, shownPath(directory, name), "");
    const std::string shown = shownPath(std::string(), *path);
    const FileIdentity identity = FileIdentity::of(*path);
    if (m_lastTable && identity.valid && identity == m_lastTableIdentity &&
        m_lastTable->path() == *path) {
        table = m_lastTable;
        return status::Ok;
    }
    std::unique_ptr<DbfFile> loaded;
    std::string problem;
    if (const Status s = DbfFile::open(*path, loaded, problem); s != status::Ok)
        return m_errors->fail(s, shown, problem);
    table = std::move(loaded);
    m_lastTable = table;
    m_lastTableIdentity = identity;
    return status::Ok;
}

// The version byte says which memo file belongs to the table: an .FPT for FoxPro's
// versions, a .DBT for dBASE's, whichever driver reads it, so that a stray .FPT
// beside a dBASE table never takes the place of its .DBT. Only when the expected
// file is missing is the other kind looked for.
Status DbaseEngine::openMemo(const std::string &directory, const DbfFile &table,
                             std::unique_ptr<MemoFile> &memo)
{
    if (!hasMemoField(table))
        return status::Ok;
    bool fpt = table.layout().foxPro;
    const std::string tableName = std::filesystem::path(table.path()).filename().string();
    const std::string name = FileLookup::withExtension(tableName, fpt ? ".FPT" : ".DBT");
    auto path = FileLookup::find(directory, name);
    if (!path) {
        path = FileLookup::find(directory,
                                FileLookup::withExtension(tableName, fpt ? ".DBT" : ".FPT"));
        fpt = !fpt;
    }
    if (!path)
        return m_errors->fail(status::FileNotFound, shownPath(directory, name),
                              "Die Memodatei der Tabelle fehlt.");
    std::string problem;
    const auto kind = fpt ? MemoFile::Kind::FoxPro : MemoFile::Kind::Dbase;
    // By its full path, which the errors of every later read name as well.
    const std::string shown = shownPath(std::string(), *path);
    if (const Status s = MemoFile::open(shown, kind, memo, problem); s != status::Ok)
        return m_errors->fail(s, shown, problem);
    return status::Ok;
}

// The production index of the table's base name. required: a missing file is an
// error; otherwise the table opens without it.
Status DbaseEngine::openProductionIndex(const std::string &directory, const std::string &tablePath,
                                        bool required, DbaseCursor &cursor)
{
    const std::string tableName = std::filesystem::path(tablePath).filename().string();
    const std::string name = FileLookup::withExtension(tableName, ".MDX");
    const auto path = FileLookup::find(directory, name);
    if (!path && !required)
        return status::Ok;
    if (!path)
        return m_errors->fail(
            status::FileNotFound, shownPath(directory, name),
            "Die Tabelle hat laut Kopf einen Produktionsindex, die Indexdatei fehlt aber.");
    const std::string found = std::filesystem::path(*path).filename().string();
    return cursor.addProductionIndex(found, shownPath(std::string(), *path));
}

std::string DbaseEngine::errorText(Status code) const
{
    for (const StatusText &t : kTexts) {
        if (t.code == code)
            return t.text;
    }
    return {};
}

Status DbaseEngine::errorEntry(int n, int &nativeCode, std::string &text) const
{
    const ErrorEntry *entry = m_errors->entry(n);
    if (!entry) {
        nativeCode = 0;
        text.clear();
        return status::NoEntry;
    }
    nativeCode = entry->nativeCode;
    text = entry->text;
    return entry->code;
}

} // namespace

std::unique_ptr<Engine> createDbaseEngine()
{
    return std::make_unique<DbaseEngine>();
}

} // namespace dbase
