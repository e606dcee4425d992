// The message of a failed engine call as its callers report it (the window's error
// box, tabledump's standard error): composed once here from the engine's text for
// the status and the entries of its error stack, in UTF-8.
//
// The lines: the status's own text; then for each entry of the stack the text of the
// entry's code when the entry carries no native code, and the entry's own text.
// Control characters and blanks around each line are dropped, an empty line and a
// line equal to one taken already (letter case aside, by the Windows-1252 pairs) are
// left out. Status 0x2EC4 leaves out the engine's texts and keeps the entries' own.
// With no line at all the message is "BDE-Fehler $XXXX". Before the engine has
// started every status but 0x2F01 has the initialisation text instead.
#pragma once

#include "ErrorStack.h"

#include <string>
#include <string_view>
#include <vector>

namespace dbase {

class Engine;

class ErrorMessage
{
public:
    ErrorMessage(const Engine &engine, Status code);
    // A failure while no engine runs (its start failed): the initialisation text.
    static ErrorMessage notStarted(Status code);

    // First the status with its own text (trimmed), then each stack entry with its
    // text as the engine gave it; texts in UTF-8.
    const std::vector<ErrorEntry> &entries() const { return m_entries; }
    const std::vector<std::string> &lines() const { return m_lines; }
    // The lines joined by separator: "\r\n" in the window, "\n" on a terminal.
    std::string text(std::string_view separator) const;

    // An engine text as UTF-8: as it is when it is valid UTF-8, else read as
    // Windows-1252 (an undefined byte becomes '?').
    static std::string utf8Of(std::string_view engineText);

private:
    ErrorMessage() = default;
    void addLine(std::string line);

    std::vector<ErrorEntry> m_entries;
    std::vector<std::string> m_lines;
};

} // namespace dbase
