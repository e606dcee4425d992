#include "TagCatalog.h"

#include "FileLookup.h"
#include "KeyExpression.h"

#include <cctype>

namespace dbase {

namespace {

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

Status TagCatalog::addIndexFile(const std::string &fileName, const std::string &path,
                                std::string &problem)
{
    std::vector<MdxTag> tags;
    if (const Status s = readMdxTags(path, tags, problem); s != status::Ok)
        return s;
    m_files.push_back(fileName);
    for (MdxTag &tag : tags) {
        m_descs.push_back(describe(tag, fileName));
        m_tags.push_back(std::move(tag));
        m_orders.emplace_back();
    }
    return status::Ok;
}

bool TagCatalog::hasIndexFile(const std::string &fileName) const
{
    for (const std::string &f : m_files) {
        if (FileLookup::equalNoCase(f, fileName))
            return true;
    }
    return false;
}

// A key that is one field name, as written, is a field key; anything else an expression.
IndexDesc TagCatalog::describe(const MdxTag &tag, const std::string &fileName) const
{
    IndexDesc desc;
    desc.tagName = tag.name;
    desc.indexFile = fileName;
    desc.expression = tag.expression;
    desc.keyType = tag.keyType;
    desc.keySize = tag.keyLength;
    desc.descending = tag.descending;
    desc.unique = tag.unique;
    desc.isExpression = true;
    const std::string key = trimmed(tag.expression);
    const auto &fields = m_source.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (FileLookup::equalNoCase(fields[i].name, key)) {
            desc.isExpression = false;
            desc.keyFields = {static_cast<int>(i) + 1};
            break;
        }
    }
    return desc;
}

int TagCatalog::find(const std::string &indexFile, const std::string &tagName) const
{
    for (std::size_t i = 0; i < m_descs.size(); ++i) {
        const IndexDesc &d = m_descs[i];
        if (FileLookup::equalNoCase(d.tagName, tagName) &&
            (indexFile.empty() || FileLookup::equalNoCase(d.indexFile, indexFile)))
            return static_cast<int>(i);
    }
    return -1;
}

Status TagCatalog::order(int i, std::shared_ptr<const SortOrder> &order, std::string &problem)
{
    auto &slot = m_orders.at(static_cast<std::size_t>(i));
    if (!slot)
        if (const Status s = buildOrder(m_tags[static_cast<std::size_t>(i)], slot, problem);
            s != status::Ok)
            return s;
    order = slot;
    return status::Ok;
}

// A FOR flag with an empty expression filters nothing.
Status TagCatalog::buildOrder(const MdxTag &tag, std::shared_ptr<const SortOrder> &order,
                              std::string &problem) const
{
    const char *part = "";
    try {
        SortOrder::Options options;
        options.descending = tag.descending;
        options.unique = tag.unique;
        if (!trimmed(tag.forExpression).empty()) {
            part = "FOR-Bedingung: ";
            options.condition =
                KeyExpression::parseCondition(tag.forExpression, m_source.fields(), m_collation);
            part = "";
        }
        auto expression = KeyExpression::parse(tag.expression, m_source.fields(), m_collation);
        order = SortOrder::build(m_source, std::move(expression), options);
    } catch (const KeyExpressionError &e) {
        problem = "Index " + tag.name + ": " + part + e.what();
        return status::BadKeyExpression;
    } catch (const std::bad_alloc &) {
        problem = "Index " + tag.name + ": nicht genügend Speicher für die Sortierung.";
        return status::OutOfMemory;
    }
    return status::Ok;
}

IndexFacts TagCatalog::facts(int i) const
{
    const IndexDesc &d = m_descs.at(static_cast<std::size_t>(i));
    IndexFacts f;
    f.keySize = d.keySize;
    f.isExpression = d.isExpression;
    f.caseInsensitive = d.caseInsensitive;
    f.keyFields = d.keyFields;
    return f;
}

} // namespace dbase
