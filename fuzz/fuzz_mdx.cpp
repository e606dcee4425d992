// Fuzz target: the MDX tag table and tag headers. The blob is an index file; the
// key expression of every tag that passes is parsed against the municipality
// fields and, where it parses, an order is built over a few records.
#include "FuzzFiles.h"
#include "FuzzTable.h"
#include "KeyExpression.h"
#include "MdxIndex.h"
#include "SortOrder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view blob(reinterpret_cast<const char *>(data), size);
    const std::string path = fuzz::writeScratch("CD_GIS.MDX", blob);
    std::vector<dbase::MdxTag> tags;
    std::string problem;
    if (dbase::readMdxTags(path, tags, problem) != dbase::status::Ok) {
        if (problem.empty() || !tags.empty())
            std::abort();
        return 0;
    }
    fuzz::FuzzTable table;
    table.fill(blob.substr(blob.size() > 2048 ? 2048 : blob.size()), 16);
    for (const dbase::MdxTag &tag : tags) {
        if (tag.name.empty() || tag.name.size() > 10 || tag.expression.empty())
            std::abort();
        try {
            auto expression = dbase::KeyExpression::parse(tag.expression, table.fields());
            dbase::SortOrder::Options options;
            options.descending = tag.descending;
            options.unique = tag.unique;
            if (!tag.forExpression.empty())
                options.condition =
                    dbase::KeyExpression::parseCondition(tag.forExpression, table.fields());
            auto order = dbase::SortOrder::build(table, expression, options);
            if (order->size() > table.storedCount())
                std::abort();
        } catch (const dbase::KeyExpressionError &) {
        }
    }
    return 0;
}
