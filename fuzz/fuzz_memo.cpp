// Fuzz target: the memo file in both layouts. The first byte chooses the layout
// (dBASE .DBT or FoxPro .FPT), the rest is the file; every block that can start a
// note is read (a damaged one must say why, and an empty one is what the grid calls
// empty), and a few references past the end.
#include "FuzzFiles.h"
#include "MemoFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto kind = (data[0] & 1) ? dbase::MemoFile::Kind::FoxPro : dbase::MemoFile::Kind::Dbase;
    const std::string_view bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::string path = fuzz::writeScratch("CD_GIS.DBT", bytes);
    std::unique_ptr<dbase::MemoFile> memo;
    std::string problem;
    if (dbase::MemoFile::open(path, kind, memo, problem) != dbase::status::Ok) {
        if (problem.empty())
            std::abort();
        return 0;
    }
    const std::uint64_t blocks = bytes.size() / static_cast<std::uint64_t>(memo->blockSize()) + 2;
    std::string text;
    std::string why;
    for (std::uint64_t block = 1; block <= blocks && block <= 4096; ++block) {
        const dbase::Status s = memo->read(static_cast<std::uint32_t>(block), text, &why);
        // A damaged note says why and yields nothing; nothing else may fail here (no
        // I/O error, and the file does not shrink).
        if (s == dbase::status::MemoDamaged && (why.empty() || !text.empty()))
            std::abort();
        if (s != dbase::status::Ok && s != dbase::status::MemoDamaged)
            std::abort();
        if (text.size() > dbase::MemoFile::kMaxNoteLength || text.size() > bytes.size())
            std::abort();
        // The grid's "(Memo)" must mean what reading the note gives.
        if (memo->isEmpty(static_cast<std::uint32_t>(block)) !=
            (s == dbase::status::Ok && text.empty()))
            std::abort();
    }
    for (const std::uint32_t block : {0u, 0xFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu})
        (void)memo->read(block, text);
    // References as a record stores them: digits, blanks, binary.
    (void)dbase::MemoFile::blockOf(bytes.substr(0, 10), false);
    (void)dbase::MemoFile::blockOf(bytes.substr(0, 4), true);
    return 0;
}
