// Fuzz target: the DBF header check and the record reader. The blob is a table
// file; when its header passes, every field of every record is decoded.
#include "DbfFile.h"
#include "FieldDecoder.h"
#include "FuzzFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view blob(reinterpret_cast<const char *>(data), size);
    dbase::DbfLayout layout;
    std::string problem;
    const dbase::Status checked = dbase::DbfFile::checkHeader(blob, size, layout, problem);
    if (checked != dbase::status::Ok && problem.empty())
        std::abort(); // every refusal must say what is wrong

    std::unique_ptr<dbase::DbfFile> file;
    const std::string path = fuzz::writeScratch("CD_GIS.DBF", blob);
    const dbase::Status opened = dbase::DbfFile::open(path, file, problem);
    if ((opened == dbase::status::Ok) != (checked == dbase::status::Ok))
        std::abort(); // the file reader and the header check disagree
    if (opened != dbase::status::Ok)
        return 0;
    for (std::size_t place = 0; place < file->liveCount(); ++place) {
        const std::uint32_t recno = file->liveRecordAt(place);
        if (file->placeOfLive(recno) != place)
            std::abort(); // the natural order's two directions disagree
        const char *record = file->recordData(recno);
        if (!record)
            std::abort();
        for (const dbase::FieldDesc &field : file->fields())
            (void)dbase::FieldDecoder::decode(field, record);
    }
    return 0;
}
