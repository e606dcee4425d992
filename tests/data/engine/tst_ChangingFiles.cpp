// Another program rewrites, appends to or truncates the table's files while the
// engine has them open. Moving through every order afterwards must end, show the
// records as loaded, and give each record the note it had at the open, or fail with
// an engine error that names the memo file: never another note.
#include "DbaseEngine.h"
#include "ErrorMessage.h"
#include "TableWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace dbase;

namespace {

enum class Change {
    TruncateEmpty,
    TruncateHalf,
    TruncateToHeader,
    Append,
    OverwriteZeros,
    ReplaceByRename,
    EditOneNote,
    CutAndRestore,
    RewriteTable
};
enum class Notes { AsLoaded, Unreadable };

const std::vector<std::vector<std::string>> kRows = {
    {"Wien", "90001", "Wien", "W", "48.21", "16.37", "80", "12", "310", "75", "90", "1", "wien",
     "Keller feucht"},
    {"Graz", "60101", "Graz", "St", "47.07", "15.44", "95", "20", "280", "101", "120", "2", "graz",
     ""},
    {"Aach", "80101", "Bregenz", "V", "47.50", "9.74", "60", "7", "150", "55", "70", "1", "aach",
     std::string(1500, 'x') + " drei Bloecke"},
    {"Linz", "40101", "Linz", "O", "48.31", "14.29", "120", "30", "400", "130", "160", "3", "linz",
     "Dachboden"},
};

// The table with kRows in the given order, its memo file and index, as the table
// writer writes them.
bool writeTable(const QString &path, bool reversed)
{
    TableWriter writer(path.toStdString(), 0x57);
    std::string error;
    if (!writer.open(error))
        return false;
    for (std::size_t i = 0; i < kRows.size(); ++i)
        if (!writer.append(kRows[reversed ? kRows.size() - 1 - i : i], error))
            return false;
    return writer.finish(true, error);
}

// The table written again with its records in another order by a writer that
// rewrites each file in place (our own writer renames new files into place).
bool rewriteInPlace(const QDir &dir)
{
    QTemporaryDir other;
    if (!other.isValid() || !writeTable(QDir(other.path()).filePath("CD_GIS.DBF"), true))
        return false;
    for (const char *name : {"CD_GIS.DBF", "CD_GIS.DBT", "CD_GIS.MDX"}) {
        QFile from(QDir(other.path()).filePath(name));
        QFile to(dir.filePath(name));
        if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        const QByteArray bytes = from.readAll();
        if (to.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

// Replaces the bytes from at by text, keeping the file's size.
bool overwrite(const QString &path, qint64 at, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(at) && file.write(text) == text.size();
}

// The change applied to path, as another program would do it.
bool apply(Change change, const QString &path)
{
    QFile file(path);
    const qint64 size = file.size();
    switch (change) {
    case Change::TruncateEmpty:
        return file.resize(0);
    case Change::TruncateHalf:
        return file.resize(size / 2);
    case Change::TruncateToHeader:
        return file.resize(qMin<qint64>(size, 512));
    case Change::Append:
        return file.open(QIODevice::Append) && file.write(QByteArray(4096, '\x1A')) == 4096;
    case Change::OverwriteZeros:
        return file.open(QIODevice::ReadWrite) && file.write(QByteArray(size, '\0')) == size;
    case Change::ReplaceByRename: {
        QFile other(path + ".new");
        if (!other.open(QIODevice::WriteOnly) || other.write(QByteArray(size, '\0')) != size)
            return false;
        other.close();
        return ::rename(QFile::encodeName(other.fileName()).constData(),
                        QFile::encodeName(path).constData()) == 0;
    }
    case Change::EditOneNote: { // Wien's note, same length
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const qint64 at = file.readAll().indexOf("Keller feucht");
        return at > 0 && overwrite(path, at, "Garten feucht");
    }
    case Change::CutAndRestore: { // written back to the very bytes it had
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray original = file.readAll();
        file.close();
        return file.resize(512) && overwrite(path, 0, original);
    }
    case Change::RewriteTable: // the whole table again, its records in another order
        return rewriteInPlace(QFileInfo(path).dir());
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(Notes)

class tst_ChangingFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void walkAfterChange_data();
    void walkAfterChange();

private:
    QStringList walkEveryOrder(EngineCursor &cursor, Notes notes);
    // The failure's message as the window and tabledump show it, one line per line.
    QString errorLines(Status code) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<EngineCursor> m_cursor;
};

void tst_ChangingFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(writeTable(m_dir->filePath("CD_GIS.DBF"), false));
    m_engine = createDbaseEngine();
    QCOMPARE(m_engine->start(), status::Ok);
    QCOMPARE(m_engine->openTable(m_dir->path().toStdString(), "CD_GIS.DBF", "DBASE", m_cursor),
             status::Ok);
}

QString tst_ChangingFiles::errorLines(Status code) const
{
    return QString::fromStdString(ErrorMessage(*m_engine, code).text("\n"));
}

// Walks the natural order and every tag forward and back; checks every record's
// note against notes; answers the names met, per order, forward then back.
QStringList tst_ChangingFiles::walkEveryOrder(EngineCursor &cursor, Notes notes)
{
    QStringList walks;
    std::vector<std::string> tags{""};
    for (const IndexDesc &index : cursor.indexDescs())
        tags.push_back(index.tagName);
    for (const std::string &tag : tags) {
        if (const Status s = cursor.switchToIndex("", tag, false); s != status::Ok)
            return {"switch to " + QString::fromStdString(tag) + " failed: " + errorLines(s)};
        QStringList names;
        std::string record;
        RecordProps props;
        while (cursor.getNext(record, props) == status::Ok && names.size() <= int(kRows.size())) {
            FieldValue name;
            cursor.extractField(1, record, name);
            names << QString::fromStdString(name.text);
            const std::string &expected = kRows[props.physicalNumber - 1][13];
            std::string note;
            const Status s = cursor.readMemo(14, record, note);
            if (notes == Notes::AsLoaded && (s != status::Ok || note != expected))
                names << "note differs";
            if (notes == Notes::Unreadable && !expected.empty() &&
                (s != status::FileChanged || !note.empty() ||
                 !errorLines(s).contains("CD_GIS.DBT")))
                names << "note read without error";
        }
        names << "|";
        while (cursor.getPrior(record, props) == status::Ok &&
               names.size() <= 3 * int(kRows.size())) {
            FieldValue name;
            cursor.extractField(1, record, name);
            names << QString::fromStdString(name.text);
        }
        walks << QString::fromStdString(tag) + ": " + names.join(' ');
    }
    return walks;
}

void tst_ChangingFiles::walkAfterChange_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Change>("change");
    QTest::addColumn<Notes>("notes");
    const QList<QPair<const char *, Change>> changes = {
        {"truncated to nothing", Change::TruncateEmpty},
        {"truncated to half", Change::TruncateHalf},
        {"truncated to 512 bytes", Change::TruncateToHeader},
        {"appended to", Change::Append},
        {"overwritten with zeros", Change::OverwriteZeros},
        {"replaced by rename", Change::ReplaceByRename}};
    for (const auto &[name, change] : changes) {
        // The records and the index's tags are read at open: their files may change freely.
        QTest::addRow("DBF %s", name) << "CD_GIS.DBF" << change << Notes::AsLoaded;
        QTest::addRow("MDX %s", name) << "CD_GIS.MDX" << change << Notes::AsLoaded;
    }
    // Notes are read when asked for. Once another program has written to the memo
    // file, each one is an error, whatever is left of the file: the notes it holds
    // may no longer be those of the records loaded. A file renamed over it is no
    // write to the one held open, which keeps the notes of the loaded records.
    const QList<QPair<const char *, Change>> memoChanges = {
        {"truncated to nothing", Change::TruncateEmpty},
        {"truncated to its header", Change::TruncateToHeader},
        {"appended to", Change::Append},
        {"overwritten with zeros", Change::OverwriteZeros},
        {"one note edited in place, same size", Change::EditOneNote},
        {"cut and written back as it was", Change::CutAndRestore}};
    for (const auto &[name, change] : memoChanges)
        QTest::addRow("DBT %s", name) << "CD_GIS.DBT" << change << Notes::Unreadable;
    QTest::newRow("DBT replaced by rename")
        << "CD_GIS.DBT" << Change::ReplaceByRename << Notes::AsLoaded;
    QTest::newRow("table written again in another order")
        << "CD_GIS.DBF" << Change::RewriteTable << Notes::Unreadable;
}

void tst_ChangingFiles::walkAfterChange()
{
    QFETCH(QString, file);
    QFETCH(Change, change);
    QFETCH(Notes, notes);
    // The expected walks come from a second cursor, so that the one under test
    // builds its orders only after the change.
    std::unique_ptr<EngineCursor> reference;
    QCOMPARE(m_engine->openTable(m_dir->path().toStdString(), "CD_GIS.DBF", "DBASE", reference),
             status::Ok);
    const QStringList before = walkEveryOrder(*reference, Notes::AsLoaded);
    QCOMPARE(before.size(), 8); // natural order and seven tags
    QCOMPARE(before.first(), QString(": Wien Graz Aach Linz | Linz Aach Graz Wien"));
    QVERIFY(apply(change, m_dir->filePath(file)));
    const QStringList after = walkEveryOrder(*m_cursor, notes);
    QCOMPARE(after.join('\n'), before.join('\n'));
    // Counting and a key search still work on the records as loaded.
    std::int32_t count = 0;
    QCOMPARE(m_cursor->countRecords(count), status::Ok);
    QCOMPARE(count, 4);
    QCOMPARE(m_cursor->switchToIndex("", "KLEINGEM", false), status::Ok);
    std::string buffer, key, record;
    RecordProps props;
    QCOMPARE(m_cursor->blankRecord(buffer), status::Ok);
    QCOMPARE(m_cursor->putField(13, buffer, "h"), status::Ok);
    QCOMPARE(m_cursor->extractKey(buffer, key), status::Ok);
    QCOMPARE(m_cursor->setToKey(SearchCondition::GreaterOrEqual, true, 0, 0, key), status::Ok);
    QCOMPARE(m_cursor->getNext(record, props), status::Ok);
    QCOMPARE(props.physicalNumber, 4u); // linz
}

QTEST_APPLESS_MAIN(tst_ChangingFiles)
#include "tst_ChangingFiles.moc"
