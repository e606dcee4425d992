// The error stack of the engine's last failure: the entries that
// Engine::errorEntry() answers, shared by the engine and its open cursors so that
// a failing cursor operation leaves its description where the caller looks for it.
#pragma once

#include "EngineTypes.h"

#include <string>
#include <vector>

namespace dbase {

struct ErrorEntry
{
    Status code = 0;
    int nativeCode = 0;
    std::string text; // UTF-8
};

class ErrorStack
{
public:
    // Starts the description of a new failure: drops the previous one.
    void reset() { m_entries.clear(); }
    void push(Status code, std::string text) { m_entries.push_back({code, 0, std::move(text)}); }
    // Entry n from 1; nullptr when there is none.
    const ErrorEntry *entry(int n) const
    {
        if (n < 1 || static_cast<std::size_t>(n) > m_entries.size())
            return nullptr;
        return &m_entries[static_cast<std::size_t>(n) - 1];
    }

    // Records a failure of one file: "Datei: <path>" and, if given, what is wrong.
    // Answers code, so that a caller can write `return errors.fail(...)`.
    Status fail(Status code, const std::string &path, const std::string &problem)
    {
        reset();
        push(code, "Datei: " + path);
        if (!problem.empty())
            push(code, problem);
        return code;
    }

private:
    std::vector<ErrorEntry> m_entries;
};

} // namespace dbase
