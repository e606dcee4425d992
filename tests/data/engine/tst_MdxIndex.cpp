// The MDX writer and reader: files written by writeMdx are read back by readMdxTags
// and walked by an independent reader (Perl XBase: index_dump and mdx_walk.pl), whose
// record order must equal SortOrder's, also for a German driver's collation and for
// FOR, unique and descending tags; damaged files give their status and problem.
#include "KeyExpression.h"
#include "MdxIndex.h"
#include "MdxWriter.h"
#include "MemoryTable.h"
#include "SortOrder.h"

#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

using dbase::KeyExpression;
using dbase::MdxTag;
using dbase::SortOrder;

namespace {

const std::vector<MdxTagSpec> municipalityTags{{"KLEINGEM", "KLEINGEM"},
                                               {"BL", "BL"},
                                               {"POTENTIAL", "VAL(POTENTIAL)+KLASSE"},
                                               {"MIN", "VAL(MIN)"},
                                               {"JAHRESMITT", "VAL(JAHRESMITT)"},
                                               {"MAX", "VAL(MAX)"},
                                               {"BEZIRK", "BEZIRK"}};

// Deterministic municipalities with equal names, shared beginnings, letters and
// blanks in the number texts, empty and negative classes; every 11th is deleted.
// With umlauts, names also begin with cp437 umlauts, ß and their base letters.
MemoryTable municipalities(int count, bool umlauts = false)
{
    MemoryTable t;
    t.field("KLEINGEM", 'C', 30)
        .field("BL", 'C', 2)
        .field("POTENTIAL", 'C', 5)
        .field("KLASSE", 'N', 4)
        .field("MIN", 'C', 5)
        .field("JAHRESMITT", 'C', 5)
        .field("MAX", 'C', 5)
        .field("BEZIRK", 'C', 15);
    const char *const plainPrefixes[] = {"sankt ", "bad ", "wien", "wiener neustadt", "", "ober"};
    const char *const umlautPrefixes[] = {"\x84rger", "arger",  "\x8E",
                                          "stra\xE1", "strass", "\x94"};
    const char *const *prefixes = umlauts ? umlautPrefixes : plainPrefixes;
    const char *const states[] = {"W", "NO", "OO", "ST", "T", "K"};
    for (int i = 0; i < count; ++i) {
        const unsigned h = unsigned(i) * 2654435761u;
        std::string name = prefixes[h % 6];
        if (h % 5)
            for (int k = 0; k < int(h % 7) + 2; ++k)
                name += char('a' + (h >> (k * 3)) % 26);
        const std::string min = h % 13 == 0   ? "n.b."
                                : h % 17 == 0 ? ""
                                              : std::to_string(h % 400) + (h % 3 ? "" : ".5");
        const std::string klasse = h % 4 == 0 ? "" : std::to_string(int(h % 6) - 1);
        t.row({name, states[(h >> 4) % 6], std::to_string((h >> 8) % 300), klasse, min,
               std::to_string(int((h >> 12) % 500) - 20), std::to_string((h >> 16) % 99999),
               "bezirk " + std::to_string((h >> 20) % 40)},
              i % 11 == 10);
    }
    return t;
}

QString runPerl(const QStringList &command)
{
    QProcess p;
    p.start(command.first(), command.mid(1));
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("FAILED: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromLatin1(p.readAllStandardOutput());
}

QList<std::uint32_t> liveOrder(const SortOrder &order)
{
    QList<std::uint32_t> records;
    for (std::size_t p = 0; p < order.size(); ++p)
        records << order.recordAt(p);
    return records;
}

struct Node
{
    std::uint32_t count;
    std::uint32_t firstPointer;
    std::uint32_t tail;
};

// Reads the head of a B-tree block: entry count, first pointer and the tail word.
Node nodeAt(const QByteArray &file, std::uint32_t page, int groupLength)
{
    const auto u32 = [&](qsizetype at) {
        return qFromLittleEndian<quint32>(file.constData() + at);
    };
    const qsizetype base = qsizetype(page) * 512;
    Node n{u32(base), u32(base + 8), 0};
    n.tail = u32(base + 8 + qsizetype(n.count) * groupLength);
    return n;
}

int treeDepth(const QByteArray &file, const MdxTag &tag)
{
    const int group = (tag.keyLength + 4 + 3) / 4 * 4;
    int depth = 1;
    for (Node n = nodeAt(file, tag.rootPage, group); n.tail != 0; ++depth)
        n = nodeAt(file, n.count ? n.firstPointer : n.tail, group);
    return depth;
}

} // namespace

class tst_MdxIndex : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writtenFileReadsBack_data();
    void writtenFileReadsBack();
    void writerHonoursTagOptions();
    void damagedFiles_data();
    void damagedFiles();
    void nameTreeLinks();
    void corruptedBytesAreReportedOrHarmless();
    void readsAnotherWritersLayout();
    void missingOrUnreadableFile();
    void writerRefusesBadTags_data();
    void writerRefusesBadTags();

private:
    QTemporaryDir m_dir;
};

void tst_MdxIndex::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(!QStandardPaths::findExecutable("index_dump").isEmpty(),
             "index_dump (Debian package libdbd-xbase-perl) is needed for the independent check");
}

void tst_MdxIndex::writtenFileReadsBack_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("depth"); // of the KLEINGEM and POTENTIAL trees
    QTest::addColumn<int>("driver");

    QTest::newRow("empty table") << 0 << 1 << 0x57;
    QTest::newRow("one leaf per tag") << 12 << 1 << 0x57;
    QTest::newRow("three-level trees") << 4500 << 3 << 0x57;
    QTest::newRow("German driver, umlauts") << 600 << 2 << 0x0F;
}

void tst_MdxIndex::writtenFileReadsBack()
{
    QFETCH(int, records);
    QFETCH(int, depth);
    QFETCH(int, driver);

    const MemoryTable table = municipalities(records, driver != 0x57);
    const dbase::Collation collation = dbase::Collation::forLanguageDriver(driver);
    const QString path = m_dir.filePath(QStringLiteral("T%1.MDX").arg(records));
    std::string error;
    QVERIFY2(writeMdx(path.toStdString(), "CD_GIS", table, collation, municipalityTags, error),
             error.c_str());

    std::vector<MdxTag> tags;
    std::string problem;
    QCOMPARE(dbase::readMdxTags(path.toStdString(), tags, problem), dbase::status::Ok);
    QCOMPARE(tags.size(), municipalityTags.size());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size() % 512, 0);
    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 32), quint32(bytes.size() / 512));

    QStringList names;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const auto expr =
            KeyExpression::parse(municipalityTags[i].expression, table.fields(), collation);
        QCOMPARE(tags[i].name, municipalityTags[i].name);
        QCOMPARE(tags[i].expression, municipalityTags[i].expression);
        QCOMPARE(tags[i].keyType, expr->isNumeric() ? 'N' : 'C');
        QCOMPARE(tags[i].keyLength, expr->keySize());
        QVERIFY(!tags[i].descending && !tags[i].unique);
        if (tags[i].name == "KLEINGEM" || tags[i].name == "POTENTIAL")
            QCOMPARE(treeDepth(bytes, tags[i]), depth);
        names << QString::fromStdString(tags[i].name);
    }
    names.sort();
    QCOMPARE(runPerl({"index_dump", path}).split('\n', Qt::SkipEmptyParts), names);

    for (const MdxTagSpec &wanted : municipalityTags) {
        const auto expr = KeyExpression::parse(wanted.expression, table.fields(), collation);
        const auto order = SortOrder::build(table, expr);
        // index_dump prints "<key bytes> <record number>" per entry, in index order.
        const QString dump =
            runPerl({"index_dump", "--tag", QString::fromStdString(wanted.name), path});
        QVERIFY2(!dump.startsWith("FAILED"), qPrintable(dump));
        QList<std::uint32_t> all;
        QList<std::uint32_t> live;
        for (const QString &line : dump.split('\n', Qt::SkipEmptyParts)) {
            const std::uint32_t recno = line.mid(line.lastIndexOf(' ') + 1).toUInt();
            all << recno;
            if (!table.isDeleted(recno))
                live << recno;
        }
        QCOMPARE(all.size(), qsizetype(table.storedCount())); // deleted records stay in the index
        QCOMPARE(live, liveOrder(*order));
    }

    // mdx_walk.pl: tag headers as another reader sees them, and the decoded keys.
    const QString script = QFINDTESTDATA("mdx_walk.pl");
    QVERIFY(!script.isEmpty());
    const QString walk = runPerl({"perl", script, path});
    QVERIFY2(!walk.startsWith("FAILED"), qPrintable(walk));
    int checkedKeys = 0;
    std::shared_ptr<const KeyExpression> expr;
    for (const QString &line : walk.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("TAG ")) {
            const QString tagName = line.section(' ', 1, 1);
            const auto wanted =
                std::find_if(municipalityTags.begin(), municipalityTags.end(),
                             [&](const MdxTagSpec &s) { return tagName.toStdString() == s.name; });
            QVERIFY(wanted != municipalityTags.end());
            expr = KeyExpression::parse(wanted->expression, table.fields(), collation);
            QCOMPARE(line, QStringLiteral("TAG %1 type=%2 keylen=%3 expr=%4")
                               .arg(tagName, expr->isNumeric() ? "N" : "C")
                               .arg(expr->keySize())
                               .arg(QString::fromStdString(wanted->expression)));
            continue;
        }
        const QString value = line.section('\t', 0, 0).trimmed();
        const std::uint32_t recno = line.section('\t', 1, 1).toUInt();
        QVERIFY(recno >= 1 && recno <= table.storedCount());
        const dbase::Key key = expr->evaluate(table.recordData(recno));
        if (expr->isNumeric())
            QVERIFY2(qAbs(value.toDouble() - key.number) <= 1e-9 * qMax(1.0, qAbs(key.number)),
                     qPrintable(line));
        else
            QCOMPARE(value, "'" + QString::fromLatin1(key.text.c_str()) + "'");
        ++checkedKeys;
    }
    QCOMPARE(checkedKeys, records * int(municipalityTags.size()));
}

// FOR, unique and descending tags: the flags and the FOR expression read back, and
// the independent walk (deleted records included, as the index keeps them) gives the
// order built from what was read, once the deleted records are left out.
void tst_MdxIndex::writerHonoursTagOptions()
{
    const MemoryTable table = municipalities(700, true);
    const dbase::Collation collation = dbase::Collation::forLanguageDriver(0x10);
    MdxTagSpec filtered{"HOCH", "KLEINGEM", "VAL(MIN) > 100 .AND. .NOT. BL $ 'W NO'"};
    MdxTagSpec unique{"EINMAL", "KLEINGEM"};
    unique.unique = true;
    MdxTagSpec descending{"AB", "VAL(MAX)"};
    descending.descending = true;
    MdxTagSpec both{"BEIDES", "BEZIRK", "KLASSE > 0"};
    both.unique = true;
    both.descending = true;
    const std::vector<MdxTagSpec> specs{filtered, unique, descending, both};
    const QString path = m_dir.filePath(QStringLiteral("OPTIONS.MDX"));
    std::string error;
    QVERIFY2(writeMdx(path.toStdString(), "CD_GIS", table, collation, specs, error), error.c_str());

    std::vector<MdxTag> tags;
    QCOMPARE(dbase::readMdxTags(path.toStdString(), tags, error), dbase::status::Ok);
    QCOMPARE(tags.size(), specs.size());
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const MdxTag &tag = tags[i];
        QCOMPARE(tag.forExpression, specs[i].forExpression);
        QCOMPARE(tag.unique, specs[i].unique);
        QCOMPARE(tag.descending, specs[i].descending);
        SortOrder::Options options;
        options.unique = tag.unique;
        options.descending = tag.descending;
        if (!tag.forExpression.empty())
            options.condition =
                KeyExpression::parseCondition(tag.forExpression, table.fields(), collation);
        const auto order = SortOrder::build(
            table, KeyExpression::parse(tag.expression, table.fields(), collation), options);
        const QString dump =
            runPerl({"index_dump", "--tag", QString::fromStdString(tag.name), path});
        QVERIFY2(!dump.startsWith("FAILED"), qPrintable(dump));
        QList<std::uint32_t> live;
        int entries = 0;
        for (const QString &line : dump.split('\n', Qt::SkipEmptyParts)) {
            const std::uint32_t recno = line.mid(line.lastIndexOf(' ') + 1).toUInt();
            ++entries;
            if (!table.isDeleted(recno))
                live << recno;
        }
        if (tag.unique || !tag.forExpression.empty())
            QVERIFY2(entries < int(table.storedCount()), tag.name.c_str());
        QVERIFY(!live.isEmpty());
        QCOMPARE(live, liveOrder(*order));
    }
}

void tst_MdxIndex::damagedFiles_data()
{
    QTest::addColumn<QString>("where"); // "file", "slot2" or "tag2": what offset counts from
    QTest::addColumn<int>("offset");    // or, for "truncate", the new file size
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");

    const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
    QTest::newRow("truncated header")
        << "truncate" << 1000 << QByteArray()
        << "Die Datei ist mit 1000 Bytes kürzer als ihr Kopf von 2048 Bytes.";
    QTest::newRow("truncated before a tag header")
        << "truncate" << 2048 << QByteArray() << "Der Kopf zählt 12 Seiten, die Datei enthält 4.";
    QTest::newRow("bad version") << "file" << 0 << hex("03")
                                 << "Versionskennung 3 statt 2 (dBASE IV).";
    QTest::newRow("block size bytes disagree")
        << "file" << 22 << hex("0002") << "Ungültige Blockgröße von 2 Seiten und 512 Bytes.";
    QTest::newRow("block of one page")
        << "file" << 20 << hex("01000002") << "Ungültige Blockgröße von 1 Seiten und 512 Bytes.";
    QTest::newRow("slot table") << "file" << 25 << hex("40")
                                << "Die Tag-Tabelle hat 64 Plätze zu 32 Bytes statt 48 zu 32.";
    QTest::newRow("48 tags") << "file" << 28 << hex("3000")
                             << "48 Tags, höchstens 47 sind möglich.";
    QTest::newRow("page count beyond the file")
        << "file" << 32 << hex("10270000") << "Der Kopf zählt 10000 Seiten, die Datei enthält 12.";
    QTest::newRow("tag header page beyond the end of the file")
        << "slot2" << 0 << hex("0f270000")
        << "Tag MIN: die Kopfseite 9999 liegt außerhalb der Datei.";
    QTest::newRow("tag header page inside the file header")
        << "slot2" << 0 << hex("02000000") << "Tag MIN: die Kopfseite 2 liegt außerhalb der Datei.";
    QTest::newRow("empty tag name") << "slot2" << 4 << hex("00") << "Tag Nr. 2: der Name ist leer.";
    QTest::newRow("unterminated tag name") << "slot2" << 4 << QByteArray("ABCDEFGHIJK")
                                           << "Tag Nr. 2: der Name ist nicht abgeschlossen.";
    QTest::newRow("unknown key type")
        << "slot2" << 20 << QByteArray("X") << "Tag MIN: unbekannter Schlüsseltyp 88.";
    QTest::newRow("key type differs")
        << "tag2" << 9 << QByteArray("C")
        << "Tag MIN: der Schlüsseltyp im Tag-Kopf weicht von der Tag-Tabelle ab.";
    QTest::newRow("group length mismatch")
        << "tag2" << 18 << hex("1400")
        << "Tag MIN: die Gruppenlänge 20 passt nicht zur Schlüssellänge 12.";
    QTest::newRow("numeric key length")
        << "tag2" << 12 << hex("0d00")
        << "Tag MIN: die Schlüssellänge 13 passt nicht zum Schlüsseltyp N.";
    QTest::newRow("too many keys a block")
        << "tag2" << 14 << hex("4000")
        << "Tag MIN: 64 Schlüssel je Block passen nicht in die Blockgröße.";
    QTest::newRow("unterminated expression")
        << "tag2" << 24 << QByteArray(221, 'A')
        << "Tag MIN: der Indexausdruck ist nicht abgeschlossen.";
    QTest::newRow("empty expression")
        << "tag2" << 24 << hex("00") << "Tag MIN: der Indexausdruck ist leer.";
    QTest::newRow("root page beyond the end of the file")
        << "tag2" << 0 << hex("0b000000")
        << "Tag MIN: die Wurzelseite 11 liegt außerhalb der Datei.";
    QTest::newRow("FOR expression unterminated")
        << "tag2for" << 762 << QByteArray(221, 'A')
        << "Tag MIN: der FOR-Ausdruck ist nicht abgeschlossen.";
}

void tst_MdxIndex::damagedFiles()
{
    QFETCH(QString, where);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);

    // Two tags over three records: pages 0-3 header, 4-5 KLEINGEM header, 6-7 its
    // leaf, 8-9 MIN header, 10-11 its leaf.
    const MemoryTable table = municipalities(3);
    const QString path = m_dir.filePath(QStringLiteral("DAMAGED.MDX"));
    std::string error;
    QVERIFY2(writeMdx(path.toStdString(), "CD_GIS", table, dbase::Collation(),
                      {{"KLEINGEM", "KLEINGEM"}, {"MIN", "VAL(MIN)"}}, error),
             error.c_str());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray content = file.readAll();
    QCOMPARE(content.size(), 12 * 512);
    QCOMPARE(qFromLittleEndian<quint32>(content.constData() + 544 + 32), quint32(8));
    if (where == "truncate") {
        content.truncate(offset);
    } else {
        const int base = where == "slot2" ? 544 + 32 : where.startsWith("tag2") ? 8 * 512 : 0;
        content.replace(base + offset, bytes.size(), bytes);
        if (where == "tag2for")
            content[base + 245] = 1; // the tag has a FOR expression
    }
    QVERIFY(file.resize(0));
    QCOMPARE(file.write(content), content.size());
    file.close();

    std::vector<MdxTag> tags;
    std::string text;
    QCOMPARE(dbase::readMdxTags(path.toStdString(), tags, text), dbase::status::IndexDamaged);
    QCOMPARE(QString::fromStdString(text), problem);
    QVERIFY(tags.empty());
}

void tst_MdxIndex::nameTreeLinks()
{
    // The slots form a binary search tree over the tag names, built in slot order;
    // each slot holds the 1-based slots of its smaller and greater child and parent.
    const MemoryTable table = municipalities(3);
    const QString path = m_dir.filePath(QStringLiteral("LINKS.MDX"));
    std::string error;
    QVERIFY2(
        writeMdx(path.toStdString(), "CD_GIS", table, dbase::Collation(), municipalityTags, error),
        error.c_str());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QList<QByteArray> expected{"020300", "070501", "040001", "060003",
                                     "000002", "000004", "000002"};
    for (int slot = 0; slot < expected.size(); ++slot)
        QCOMPARE(bytes.mid(544 + 32 * slot + 16, 3).toHex(), expected[slot]);
    QCOMPARE(bytes.mid(4, 7), QByteArray("CD_GIS\0", 7));
    QCOMPARE(bytes.at(24), char(1)); // production index
}

void tst_MdxIndex::corruptedBytesAreReportedOrHarmless()
{
    // Bytes of the header, the slots and a tag header overwritten with patterns; the
    // reader answers Ok or IndexDamaged and what it accepts stays within its bounds.
    const MemoryTable table = municipalities(40);
    const QString path = m_dir.filePath(QStringLiteral("FLIP.MDX"));
    std::string error;
    QVERIFY2(
        writeMdx(path.toStdString(), "CD_GIS", table, dbase::Collation(), municipalityTags, error),
        error.c_str());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    file.close();
    int damagedCount = 0;
    for (int i = 0; i < 400; ++i) {
        QByteArray content = original;
        const int offset = (i * 7919) % 2600; // header, slots and the first tag header
        const char patterns[] = {'\xff', '\0', '\x7f', 'N'};
        content.replace(offset, 4, QByteArray(4, patterns[i % 4]));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
        out.close();
        std::vector<MdxTag> tags;
        std::string problem;
        const dbase::Status status = dbase::readMdxTags(path.toStdString(), tags, problem);
        QVERIFY2(status == dbase::status::Ok || status == dbase::status::IndexDamaged,
                 problem.c_str());
        if (status != dbase::status::Ok) {
            QVERIFY(!problem.empty() && tags.empty());
            ++damagedCount;
            continue;
        }
        QVERIFY(tags.size() <= 47);
        for (const MdxTag &tag : tags) {
            QVERIFY(tag.keyLength >= 1 && tag.keyLength <= 100);
            QVERIFY(std::uint64_t(tag.rootPage) * 512 + 1024 <= std::uint64_t(content.size()));
            QVERIFY(!tag.expression.empty() && tag.expression.size() <= 220);
        }
    }
    QVERIFY(damagedCount > 0);
}

void tst_MdxIndex::readsAnotherWritersLayout()
{
    // Header, slot and tag header as another writer (xbase64) lays them out, with its
    // own values in the reserved bytes: tag NAME, header page 4, root page 6, a C key
    // of 20 bytes, 42 keys a block, group length 24; 28 pages in the file.
    QByteArray file(28 * 512, '\0');
    const auto put = [&](int at, const QByteArray &bytes) {
        file.replace(at, bytes.size(), bytes);
    };
    put(0, QByteArray::fromHex("027E0C08") + "RADON");
    put(20, QByteArray::fromHex("0200000401302000010007 1B"));
    put(32, QByteArray::fromHex("1C000000"));
    put(544, QByteArray::fromHex("04000000") + "NAME");
    put(544 + 15, QByteArray::fromHex("10000000024300"));
    put(2048, QByteArray::fromHex("06000000 02000000 1043001B 1400 2A00 0000 1800 07000000"));
    put(2048 + 24, "NAME");
    put(3072,
        QByteArray::fromHex("01000000 00000000 01000000") + QByteArray("Aachen").leftJustified(20));
    const QString path = m_dir.filePath(QStringLiteral("OTHER.MDX"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(file), file.size());
    out.close();

    std::vector<MdxTag> tags;
    std::string problem;
    QCOMPARE(dbase::readMdxTags(path.toStdString(), tags, problem), dbase::status::Ok);
    QCOMPARE(tags.size(), std::size_t(1));
    QCOMPARE(tags[0].name, std::string("NAME"));
    QCOMPARE(tags[0].expression, std::string("NAME"));
    QCOMPARE(tags[0].keyType, 'C');
    QCOMPARE(tags[0].keyLength, 20);
    QCOMPARE(tags[0].rootPage, std::uint32_t(6));
    QVERIFY(!tags[0].descending && !tags[0].unique);
    QCOMPARE(runPerl({"index_dump", "--tag", "NAME", path}),
             QStringLiteral("Aachen               1\n"));
}

void tst_MdxIndex::missingOrUnreadableFile()
{
    std::vector<MdxTag> tags;
    std::string problem;
    QCOMPARE(dbase::readMdxTags(m_dir.filePath("NONE.MDX").toStdString(), tags, problem),
             dbase::status::FileNotFound);
    QCOMPARE(problem, std::string("Die Datei existiert nicht."));
    // A directory in the index file's place is said to be one.
    QCOMPARE(dbase::readMdxTags(m_dir.path().toStdString(), tags, problem),
             dbase::status::NotAFile);
    QCOMPARE(QString::fromStdString(problem),
             QDir(m_dir.path()).dirName() + " ist keine reguläre Datei, sondern ein Verzeichnis.");
}

void tst_MdxIndex::writerRefusesBadTags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("tagCount");
    QTest::addColumn<QString>("error");

    QTest::newRow("bad expression") << "X"
                                    << "FOO" << 1 << "Tag X: An Position 1: unbekanntes Feld FOO.";
    QTest::newRow("name too long")
        << "ABCDEFGHIJK"
        << "BL" << 1 << "Der Tag-Name 'ABCDEFGHIJK' hat nicht 1 bis 10 druckbare Zeichen.";
    QTest::newRow("empty name") << ""
                                << "BL" << 1
                                << "Der Tag-Name '' hat nicht 1 bis 10 druckbare Zeichen.";
    QTest::newRow("DESCEND() key")
        << "X"
        << "DESCEND(BL)" << 1 << "Tag X: Schlüssel mit DESCEND() schreibt dieser Index nicht.";
    QTest::newRow("48 tags") << "BL"
                             << "BL" << 48 << "Ein Index enthält höchstens 47 Tags, nicht 48.";
}

void tst_MdxIndex::writerRefusesBadTags()
{
    QFETCH(QString, name);
    QFETCH(QString, expression);
    QFETCH(int, tagCount);
    QFETCH(QString, error);

    const MemoryTable table = municipalities(5);
    const std::vector<MdxTagSpec> wantedTags(std::size_t(tagCount),
                                             {name.toStdString(), expression.toStdString()});
    const QString path = m_dir.filePath("REFUSED.MDX");
    std::string message;
    QVERIFY(
        !writeMdx(path.toStdString(), "CD_GIS", table, dbase::Collation(), wantedTags, message));
    QCOMPARE(QString::fromStdString(message), error);
    QVERIFY(!QFile::exists(path));

    QVERIFY(!writeMdx(m_dir.filePath("no/such/dir/X.MDX").toStdString(), "CD_GIS", table,
                      dbase::Collation(), {{"BL", "BL"}}, message));
    QCOMPARE(QString::fromStdString(message),
             m_dir.filePath("no/such/dir/X.MDX") +
                 ": Die Datei oder das Verzeichnis gibt es nicht.");
}

QTEST_APPLESS_MAIN(tst_MdxIndex)
#include "tst_MdxIndex.moc"
