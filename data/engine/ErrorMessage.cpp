#include "ErrorMessage.h"

#include "AnsiCase.h"
#include "CodePage.h"
#include "Engine.h"
#include "Utf8.h"

#include <cstdio>

namespace dbase {

namespace {

constexpr Status kEngineNotReady = 0x2F01;   // its message is the engine's own even before start
constexpr Status kNoEngineTextCode = 0x2EC4; // the engine's texts are left out for it
constexpr int kMaxErrorEntries = 64;         // guards against an engine that never says "no more"

// Drops characters of code 32 and below from both ends (no byte of a longer UTF-8
// sequence is one of them).
std::string trimmedControl(std::string_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return std::string(text.substr(first, last - first));
}

std::string hexCode(Status code)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", unsigned(code));
    return buffer;
}

std::string codeText(const Engine &engine, Status code)
{
    return trimmedControl(ErrorMessage::utf8Of(engine.errorText(code)));
}

} // namespace

ErrorMessage::ErrorMessage(const Engine &engine, Status code)
{
    if (!engine.isStarted() && code != kEngineNotReady) {
        *this = notStarted(code);
        return;
    }
    m_entries.push_back({code, 0, codeText(engine, code)});
    for (int n = 1; n <= kMaxErrorEntries; ++n) {
        int native = 0;
        std::string text;
        const Status entry = engine.errorEntry(n, native, text);
        if (entry == 0 || entry == status::NoEntry)
            break;
        m_entries.push_back({entry, native, utf8Of(text)});
    }
    const bool engineTexts = code != kNoEngineTextCode;
    if (engineTexts)
        addLine(m_entries.front().text);
    for (std::size_t i = 1; i < m_entries.size(); ++i) {
        if (m_entries[i].nativeCode == 0 && engineTexts)
            addLine(codeText(engine, m_entries[i].code));
        addLine(trimmedControl(m_entries[i].text));
    }
    if (m_lines.empty())
        m_lines.push_back("BDE-Fehler $" + hexCode(code));
}

ErrorMessage ErrorMessage::notStarted(Status code)
{
    ErrorMessage message;
    const std::string text = "Bei der Initialisierung der Borland Database Engine ist ein Fehler "
                             "aufgetreten (Fehler $" +
                             hexCode(code) + ")";
    message.m_entries.push_back({code, 0, text});
    message.m_lines.push_back(text);
    return message;
}

std::string ErrorMessage::text(std::string_view separator) const
{
    std::string joined;
    for (const std::string &line : m_lines) {
        if (!joined.empty())
            joined += separator;
        joined += line;
    }
    return joined;
}

std::string ErrorMessage::utf8Of(std::string_view engineText)
{
    for (std::size_t i = 0, length = 0; i < engineText.size(); i += length) {
        if (!Utf8::isCharacter(Utf8::decode(engineText, i, length)))
            return CodePage::ansiToUtf8(CodePage::of(CodePage::Ansi).toAnsi(engineText));
    }
    return std::string(engineText);
}

// Takes a line unless it is empty or equal, letter case aside, to one taken already.
void ErrorMessage::addLine(std::string line)
{
    if (line.empty())
        return;
    for (const std::string &taken : m_lines)
        if (AnsiCase::equalNames(taken, line))
            return;
    m_lines.push_back(std::move(line));
}

} // namespace dbase
