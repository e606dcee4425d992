// How text keys of a table compare, chosen by its language-driver byte (header byte 29).
//
// Byte order: unsigned bytes, the shorter text filled up with blanks.
// Letter folding (the German OEM drivers 0x0F and 0x10, the West-European ANSI driver
// 0x58): first the texts with every accented Latin letter read as its base letter, case
// kept (Ä as A, é as e), and ß as ss; when that ties, the stored bytes as in byte order.
// Only texts with the same bytes compare equal either way.
//
// A text of a fixed width can also be turned once into its sort form: a byte string of
// a fixed size whose plain memcmp order is exactly that of compare(), so that many
// keys can be sorted without the collation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dbase {

class Collation
{
public:
    Collation() = default; // byte order
    static Collation forLanguageDriver(std::uint8_t driver);
    // The collation of a table whose texts are in codePage: the driver's, when its
    // code page is codePage; byte order when the texts are in another code page (a
    // .cpg file named it), where the driver's letters would be other characters.
    static Collation forTable(std::uint8_t driver, int codePage);
    static Collation folding(int codePage); // 437, 850 or 1252; byte order for others

    bool foldsLetters() const { return m_fold != nullptr; }

    // <0, 0, >0; the shorter text counts as filled up with blanks.
    int compare(std::string_view a, std::string_view b) const;

    // Bytes of the sort form of texts of width bytes: width for byte order; for letter
    // folding the folded text, blank-filled to foldedWidth bytes, followed by the
    // stored bytes. foldedWidth must hold the folded text of every text whose forms
    // are compared (ß takes two bytes): 2 × width always does.
    std::size_t sortKeySize(std::size_t width, std::size_t foldedWidth) const
    {
        return m_fold ? foldedWidth + width : width;
    }
    std::size_t sortKeySize(std::size_t width) const { return sortKeySize(width, 2 * width); }
    // Writes the sort form of text (cut to width, filled up with blanks) to out, which
    // holds sortKeySize(width, foldedWidth) bytes. Answers the length of the folded
    // text (width for byte order); when that exceeds foldedWidth, out is incomplete.
    std::size_t sortKey(std::string_view text, std::size_t width, std::size_t foldedWidth,
                        unsigned char *out) const;
    void sortKey(std::string_view text, std::size_t width, unsigned char *out) const
    {
        sortKey(text, width, 2 * width, out);
    }

    // One byte folded: its base letter, and a second byte where it becomes two (ß: s s);
    // 0 as the second byte when there is none.
    struct Folded
    {
        unsigned char first;
        unsigned char second;
    };
    using FoldTable = std::array<Folded, 256>;

private:
    explicit Collation(const FoldTable *fold) : m_fold(fold) {}
    int compareFolded(std::string_view a, std::string_view b) const;
    std::size_t foldedLengthOf(std::string_view text, std::size_t width) const;

    const FoldTable *m_fold = nullptr; // null: byte order
};

} // namespace dbase
