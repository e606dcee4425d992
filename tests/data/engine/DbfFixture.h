// Small dBASE files built in code for the engine's tests: a table header with its
// field descriptors and records, and memo files of both dBASE flavours. Each
// builder gives the bytes; tests damage them on purpose where they need to.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>
#include <vector>

namespace fixture {

struct Field
{
    std::string name;
    char type;
    int width;
    int decimals = 0;
};

inline void putLe(QByteArray &b, int at, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// records: each the full record text after the deletion flag; a leading '*'
// in deletedFlags marks a record deleted.
inline QByteArray table(const std::vector<Field> &fields, const std::vector<std::string> &records,
                        quint8 version = 0x8B, quint8 languageDriver = 0x57,
                        const std::string &deletedFlags = {})
{
    const int headerLength = 32 + 32 * int(fields.size()) + 1;
    int recordLength = 1;
    for (const Field &f : fields)
        recordLength += f.width;
    QByteArray b(headerLength, '\0');
    b[0] = char(version);
    b[1] = char(126);
    b[2] = 12;
    b[3] = 8;
    putLe(b, 4, quint32(records.size()), 4);
    putLe(b, 8, quint32(headerLength), 2);
    putLe(b, 10, quint32(recordLength), 2);
    b[29] = char(languageDriver);
    int at = 32;
    for (const Field &f : fields) {
        b.replace(at, int(f.name.size()), f.name.c_str());
        b[at + 11] = f.type;
        b[at + 16] = char(f.width);
        b[at + 17] = char(f.decimals);
        at += 32;
    }
    b[at] = '\x0D';
    for (std::size_t i = 0; i < records.size(); ++i) {
        QByteArray r(1, i < deletedFlags.size() && deletedFlags[i] == '*' ? '*' : ' ');
        r += QByteArray::fromStdString(records[i]);
        r.resize(recordLength, ' ');
        b += r;
    }
    b += '\x1A';
    return b;
}

// A dBASE 7 (level 7) table: 68-byte header with the language driver's name, 48-byte
// field descriptors with 32-character names, 0x0D and an empty field properties
// structure (14 bytes) before the records. records as for table().
inline QByteArray table7(const std::vector<Field> &fields, const std::vector<std::string> &records,
                         quint8 version = 0x8C, const std::string &deletedFlags = {})
{
    const int headerLength = 68 + 48 * int(fields.size()) + 1 + 14;
    int recordLength = 1;
    for (const Field &f : fields)
        recordLength += f.width;
    QByteArray b(headerLength, '\0');
    b[0] = char(version);
    b[1] = char(126);
    b[2] = 12;
    b[3] = 8;
    putLe(b, 4, quint32(records.size()), 4);
    putLe(b, 8, quint32(headerLength), 2);
    putLe(b, 10, quint32(recordLength), 2);
    b[29] = char(0x57);
    b.replace(32, 8, "DBWINUS0");
    int at = 68;
    for (const Field &f : fields) {
        b.replace(at, int(f.name.size()), f.name.c_str());
        b[at + 32] = f.type;
        b[at + 33] = char(f.width);
        b[at + 34] = char(f.decimals);
        at += 48;
    }
    b[at] = '\x0D';
    for (std::size_t i = 0; i < records.size(); ++i) {
        QByteArray r(1, i < deletedFlags.size() && deletedFlags[i] == '*' ? '*' : ' ');
        r += QByteArray::fromStdString(records[i]);
        r.resize(recordLength, ' ');
        b += r;
    }
    b += '\x1A';
    return b;
}

// A dBASE IV memo file: header with blockSize at byte 20, each note in its own run
// of blocks with the FF FF 08 00 block header; notes[i] starts at the block
// returned in blocks[i]. headerSize: the bytes before the first note (a multiple
// of blockSize; by default one block).
inline QByteArray memoIV(const std::vector<std::string> &notes, int blockSize,
                         std::vector<int> *blocks = nullptr, int headerSize = 0)
{
    QByteArray b(headerSize > 0 ? headerSize : blockSize, '\0');
    putLe(b, 20, quint32(blockSize), 2);
    for (const std::string &note : notes) {
        if (blocks)
            blocks->push_back(int(b.size() / blockSize));
        QByteArray block("\xFF\xFF\x08\x00", 4);
        QByteArray len(4, '\0');
        putLe(len, 0, quint32(note.size() + 8), 4);
        block += len + QByteArray::fromStdString(note);
        block.resize((block.size() + blockSize - 1) / blockSize * blockSize, '\0');
        b += block;
    }
    putLe(b, 0, quint32(b.size() / blockSize), 4);
    return b;
}

// A dBASE III memo file: 512-byte blocks, notes ended by terminator (1A 1A or 1A).
inline QByteArray memoIII(const std::vector<std::string> &notes, const QByteArray &terminator,
                          std::vector<int> *blocks = nullptr)
{
    QByteArray b(512, '\0');
    b[16] = 0x03;
    for (const std::string &note : notes) {
        if (blocks)
            blocks->push_back(int(b.size() / 512));
        QByteArray block = QByteArray::fromStdString(note) + terminator;
        block.resize((block.size() + 511) / 512 * 512, '\0');
        b += block;
    }
    putLe(b, 0, quint32(b.size() / 512), 4);
    return b;
}

// A memo reference as dBASE stores it: the block number right-aligned in 10 characters.
inline std::string memoRef(int block)
{
    const std::string n = std::to_string(block);
    return std::string(10 - n.size(), ' ') + n;
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace fixture
