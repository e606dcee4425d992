#include "TextView.h"

#include <algorithm>

using dbase::CodePage;

TextView::TextView(int codePage, bool asWindow)
    : m_page(CodePage::of(codePage)), m_asWindow(asWindow)
{
    if (!m_asWindow || !m_page.isSingleByte())
        return;
    for (unsigned b = 0; b < 256; ++b) {
        const std::string form = utf8(std::string(1, static_cast<char>(b)));
        CodePage::Utf8Form &to = m_windowForms[b];
        to.length = static_cast<unsigned char>(std::min<std::size_t>(form.size(), 4));
        form.copy(to.bytes, to.length);
    }
}

std::string TextView::utf8(std::string_view stored) const
{
    return m_asWindow ? CodePage::ansiToUtf8(m_page.toAnsi(stored)) : m_page.toUtf8(stored);
}

const std::array<CodePage::Utf8Form, 256> *TextView::byteForms() const
{
    if (!m_page.isSingleByte())
        return nullptr;
    return m_asWindow ? &m_windowForms : &m_page.byteToUtf8();
}
