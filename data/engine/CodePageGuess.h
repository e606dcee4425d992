// The code page of a table whose language-driver byte names none (0x00, or a byte
// no dBASE or FoxPro defines), guessed from its texts:
//
// - texts that are all valid UTF-8 and hold at least one sequence of more than one
//   byte are UTF-8 (text in an 8-bit page is almost never valid UTF-8);
// - otherwise every byte above 0x7F is weighed as a Windows-1252 character against a
//   code page 437 one: a letter that stands next to letters speaks for its page, a
//   symbol or line-drawing character between two letters against it, and a
//   line-drawing character beside another one (a frame, a rule) for code page 437;
// - with no evidence either way, code page 437, that of the DOS tools that leave the
//   byte unset.
#pragma once

#include "CodePage.h"

#include <string_view>

namespace dbase {

class CodePageGuess
{
public:
    // One text (a field's value): a multi-byte character may be cut at its end, as a
    // writer that fills a field by bytes leaves it.
    void add(std::string_view text);
    int codePage() const; // 65001, 1252 or 437

private:
    void weigh(std::string_view text);

    const CodePage &m_ansiPage = CodePage::of(1252);
    const CodePage &m_oemPage = CodePage::of(437);
    bool m_validUtf8 = true;
    bool m_multiByte = false;
    long m_ansi = 0; // evidence for Windows-1252
    long m_oem = 0;  // for code page 437
};

} // namespace dbase
