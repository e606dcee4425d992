#include "TagCatalog.h"

#include "AnsiCase.h"
#include "KeyExpression.h"

#include <system_error>

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
    const std::lock_guard lock(m_mutex);
    m_files.push_back(fileName);
    for (MdxTag &tag : tags) {
        m_descs.push_back(describe(tag, fileName));
        m_tags.push_back(std::move(tag));
        m_slots.emplace_back();
    }
    return status::Ok;
}

bool TagCatalog::hasIndexFile(const std::string &fileName) const
{
    for (const std::string &f : m_files) {
        if (AnsiCase::equalNames(f, fileName))
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
        if (AnsiCase::equalInCodePage(m_source.codePage(), fields[i].name, key)) {
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
        if (AnsiCase::equalInCodePage(m_source.codePage(), d.tagName, tagName) &&
            (indexFile.empty() || AnsiCase::equalNames(d.indexFile, indexFile)))
            return static_cast<int>(i);
    }
    return -1;
}

Status TagCatalog::order(int i, std::shared_ptr<const SortOrder> &order, std::string &problem)
{
    const std::size_t at = static_cast<std::size_t>(i);
    std::unique_lock lock(m_mutex);
    (void)m_slots.at(at);
    m_slotDone.wait(lock, [&] { return m_slots[at].state != Slot::State::Building; });
    if (m_slots[at].state == Slot::State::NotBuilt) {
        const MdxTag tag = startBuild(at);
        lock.unlock();
        std::shared_ptr<const SortOrder> built;
        std::string why;
        Status s = status::Ok;
        try {
            s = buildOrder(tag, nullptr, built, why);
        } catch (...) {
            lock.lock();
            finishBuild(at, status::InvalidParameter, nullptr, std::string());
            throw;
        }
        lock.lock();
        finishBuild(at, s, std::move(built), why);
        if (m_slots[at].state == Slot::State::NotBuilt) {
            problem = why;
            return s;
        }
    }
    const Slot &slot = m_slots[at];
    if (slot.state == Slot::State::Failed) {
        problem = slot.problem;
        return slot.status;
    }
    order = slot.order;
    return status::Ok;
}

MdxTag TagCatalog::startBuild(std::size_t i)
{
    MdxTag tag = m_tags[i];
    m_slots[i].state = Slot::State::Building;
    return tag;
}

void TagCatalog::finishBuild(std::size_t i, Status s, std::shared_ptr<const SortOrder> order,
                             const std::string &problem)
{
    Slot &slot = m_slots[i];
    slot.state = Slot::State::NotBuilt;
    if (s == status::Ok && order) {
        slot.state = Slot::State::Built;
        slot.order = std::move(order);
    } else if (s == status::BadKeyExpression) {
        slot.state = Slot::State::Failed;
        slot.status = s;
        slot.problem = problem;
    }
    m_slotDone.notify_all();
}

void TagCatalog::prepareOrders(std::size_t tagCount)
{
    if (m_worker.joinable())
        return;
    try {
        m_worker = std::thread([this, tagCount] { work(tagCount); });
    } catch (const std::system_error &) {
        // No thread: the orders are built when they are first asked for.
    }
}

// An order that the worker cannot build (out of memory, or stopped) is left to be
// built, and to report its failure, when it is asked for.
void TagCatalog::work(std::size_t tagCount) noexcept
{
    for (std::size_t i = 0; i < tagCount && !m_stop.load(); ++i) {
        bool taken = false;
        try {
            MdxTag tag;
            {
                const std::lock_guard lock(m_mutex);
                if (i >= m_slots.size() || m_slots[i].state != Slot::State::NotBuilt)
                    continue;
                tag = startBuild(i);
                taken = true;
            }
            std::shared_ptr<const SortOrder> built;
            std::string problem;
            const Status s = buildOrder(tag, &m_stop, built, problem);
            const std::lock_guard lock(m_mutex);
            finishBuild(i, s, std::move(built), problem);
            taken = false;
        } catch (...) {
            if (taken) {
                const std::lock_guard lock(m_mutex);
                finishBuild(i, status::InvalidParameter, nullptr, std::string());
            }
        }
    }
}

TagCatalog::~TagCatalog()
{
    m_stop.store(true);
    if (m_worker.joinable())
        m_worker.join();
}

// A FOR flag with an empty expression filters nothing.
Status TagCatalog::buildOrder(const MdxTag &tag, const std::atomic<bool> *stop,
                              std::shared_ptr<const SortOrder> &order, std::string &problem) const
{
    const char *part = "";
    try {
        SortOrder::Options options;
        options.descending = tag.descending;
        options.unique = tag.unique;
        options.stop = stop;
        if (!trimmed(tag.forExpression).empty()) {
            part = "FOR-Bedingung: ";
            options.condition = KeyExpression::parseCondition(tag.forExpression, m_source.fields(),
                                                              m_collation, m_source.codePage());
            part = "";
        }
        auto expression = KeyExpression::parse(tag.expression, m_source.fields(), m_collation,
                                               m_source.codePage());
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
