// The index tags available to one open table, from its index files, and the
// orders built from them. An order is built in memory from the tag's key
// expression, FOR condition and unique and descending flags the first time it is
// made active, and kept for the table's lifetime. Text keys compare by the
// collation of the table's language driver.
#pragma once

#include "Collation.h"
#include "EngineTypes.h"
#include "MdxIndex.h"
#include "RecordSource.h"
#include "SortOrder.h"

#include <memory>
#include <string>
#include <vector>

namespace dbase {

class TagCatalog
{
public:
    TagCatalog(const RecordSource &source, const Collation &collation)
        : m_source(source), m_collation(collation)
    {
    }

    // Reads the tags of the index file at path; fileName is the name the table's
    // directory holds it under. Answers readMdxTags' status, with problem.
    Status addIndexFile(const std::string &fileName, const std::string &path, std::string &problem);
    // True when an index file of that name (letter case aside) is open already.
    bool hasIndexFile(const std::string &fileName) const;

    const std::vector<IndexDesc> &descs() const { return m_descs; }
    // Position of the tag named tagName (letter case aside) in indexFile ("" or a
    // file name, letter case aside); -1 when there is none.
    int find(const std::string &indexFile, const std::string &tagName) const;
    // The order of tag i, built on first use. BadKeyExpression (problem names the
    // tag and says what is wrong) when its key expression cannot be evaluated.
    Status order(int i, std::shared_ptr<const SortOrder> &order, std::string &problem);
    IndexFacts facts(int i) const;

private:
    IndexDesc describe(const MdxTag &tag, const std::string &fileName) const;

    Status buildOrder(const MdxTag &tag, std::shared_ptr<const SortOrder> &order,
                      std::string &problem) const;

    const RecordSource &m_source;
    Collation m_collation;
    std::vector<std::string> m_files;
    std::vector<IndexDesc> m_descs;
    std::vector<MdxTag> m_tags;
    std::vector<std::shared_ptr<const SortOrder>> m_orders; // parallel to m_tags
};

} // namespace dbase
