// How tabledump shows a table's texts (field names, text fields, notes, index tags
// and key expressions): by default as UTF-8 of exactly the characters stored in the
// code page, control characters included; with --ansi as the window shows them,
// through Windows-1252 with one '?' for each character it lacks and each byte that
// is no character, in UTF-8.
#pragma once

#include "CodePage.h"

#include <array>
#include <string>
#include <string_view>

class TextView
{
public:
    TextView(int codePage, bool asWindow);

    const dbase::CodePage &page() const { return m_page; }
    bool asWindow() const { return m_asWindow; }
    std::string utf8(std::string_view stored) const;
    // Where every character is one byte: the UTF-8 form of each byte, for loops that
    // convert byte by byte (the dump's hot path). nullptr for pages with longer
    // characters (double-byte pages, UTF-8), which utf8() converts a text at a time.
    const std::array<dbase::CodePage::Utf8Form, 256> *byteForms() const;

private:
    const dbase::CodePage &m_page;
    bool m_asWindow;
    std::array<dbase::CodePage::Utf8Form, 256> m_windowForms{}; // asWindow, single bytes
};
