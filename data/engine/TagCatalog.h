// The index tags available to one open table, from its index files, and the
// orders built from them. An order is built in memory from the tag's key
// expression, FOR condition and unique and descending flags the first time it is
// made active, and kept for the table's lifetime. Text keys compare by the
// collation of the table's language driver.
//
// The orders can also be built ahead, by one worker thread of the catalog's own
// (prepareOrders()); its callers still see one thread: order() answers exactly what
// it answers without the worker, and waits only for the order it asks for when the
// worker is building that one. The worker is stopped and joined when the catalog goes.
#pragma once

#include "Collation.h"
#include "EngineTypes.h"
#include "MdxIndex.h"
#include "RecordSource.h"
#include "SortOrder.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dbase {

class TagCatalog
{
public:
    TagCatalog(const RecordSource &source, const Collation &collation)
        : m_source(source), m_collation(collation)
    {
    }
    ~TagCatalog();
    TagCatalog(const TagCatalog &) = delete;
    TagCatalog &operator=(const TagCatalog &) = delete;

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
    // Waits while the worker builds that order.
    Status order(int i, std::shared_ptr<const SortOrder> &order, std::string &problem);
    IndexFacts facts(int i) const;
    // Starts the worker on the orders of the first tagCount tags that are not built
    // yet, one after another. Once only; without a thread to be had, every order is
    // built when it is first asked for.
    void prepareOrders(std::size_t tagCount);

private:
    // An order's progress. A failed build keeps its answer when the tag itself is at
    // fault (BadKeyExpression); after any other failure it is tried again when asked for.
    struct Slot
    {
        enum class State { NotBuilt, Building, Built, Failed };
        State state = State::NotBuilt;
        std::shared_ptr<const SortOrder> order;
        Status status = status::Ok;
        std::string problem;
    };

    IndexDesc describe(const MdxTag &tag, const std::string &fileName) const;

    // Answers status::Ok with a null order when stop ended the build.
    Status buildOrder(const MdxTag &tag, const std::atomic<bool> *stop,
                      std::shared_ptr<const SortOrder> &order, std::string &problem) const;
    // Takes on the build of slot i (the lock held): a copy of its tag.
    MdxTag startBuild(std::size_t i);
    void finishBuild(std::size_t i, Status s, std::shared_ptr<const SortOrder> order,
                     const std::string &problem);
    void work(std::size_t tagCount) noexcept;

    const RecordSource &m_source;
    Collation m_collation;
    std::vector<std::string> m_files;
    std::vector<IndexDesc> m_descs;
    std::vector<MdxTag> m_tags;
    // m_tags and m_slots (parallel to it) are shared with the worker, under m_mutex.
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_slotDone;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

} // namespace dbase
