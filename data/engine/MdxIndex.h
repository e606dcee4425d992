// The production index file (.MDX): its tag table and tag headers, validated.
// Orders themselves are built in memory from the tags' key expressions (SortOrder),
// so the B-trees are checked only as far as the headers go.
#pragma once

#include "EngineTypes.h"

#include <string>
#include <vector>

namespace dbase {

struct MdxTag
{
    std::string name;       // as stored (at most 10 characters)
    std::string expression; // key expression text
    std::string forExpression;
    char keyType = 'C'; // 'C', 'N' or 'D'
    int keyLength = 0;
    bool descending = false;
    bool unique = false;
    std::uint32_t rootPage = 0;
};

// Reads and checks the tag table of the index file at path. On failure answers
// a status (FileNotFound, FileUnreadable, IndexDamaged ...) and puts a short
// description of what is wrong (naming the tag where one is at fault) in problem.
Status readMdxTags(const std::string &path, std::vector<MdxTag> &tags, std::string &problem);

} // namespace dbase
