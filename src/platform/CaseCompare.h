// Comparison of names without regard to letter case, for the lookups that
// run on every lexeme: keywords and the old class names.
#pragma once

#include <QStringView>

#include <algorithm>
#include <array>
#include <cstdint>

// The sign of QStringView::compare(A, B, Qt::CaseInsensitive). Pascal names
// are ASCII nearly always, and Qt's Unicode case folding cost more than the
// rest of those lookups together: where the characters compared are ASCII,
// they are folded here (to lower case, as Qt folds them); at the first other
// character the whole comparison is Qt's, so the order is always Qt's.
inline int compareIgnoringCase(QStringView A, QStringView B) noexcept
{
    const qsizetype N = std::min(A.size(), B.size());
    const char16_t *const P = A.utf16();
    const char16_t *const Q = B.utf16();
    for (qsizetype I = 0; I < N; ++I) {
        char16_t X = P[I];
        char16_t Y = Q[I];
        if ((X | Y) >= 0x80)
            return A.compare(B, Qt::CaseInsensitive);
        if (char16_t(X - u'A') < 26)
            X += 32;
        if (char16_t(Y - u'A') < 26)
            Y += 32;
        if (X != Y)
            return int(X) - int(Y);
    }
    return A.size() == B.size() ? 0 : A.size() < B.size() ? -1 : 1;
}

// A quick test, before a search, whether a name may equal one of a set of
// names without regard to letter case: by its length and by its first two
// characters folded as compareIgnoringCase folds them. Most identifiers of a
// unit fail one of the two (Delphi class names share their "T", rarely the
// letter after it). A name of 64 characters or more, or with a character
// above U+007F among its first two, always passes; so does every name once
// the set holds such a name.
class TNameFilter
{
public:
    void Add(QStringView Name)
    {
        if (Name.size() < 64)
            FLengths |= std::uint64_t(1) << Name.size();
        else
            FHasLong = true;
        const int Key = keyOf(Name);
        if (Key < 0)
            FHasWide = true;
        else
            FPrefixes[size_t(Key) >> 6] |= std::uint64_t(1) << (Key & 63);
    }
    void Clear() { *this = TNameFilter(); }
    bool MayContain(QStringView Name) const
    {
        if (Name.size() < 64 ? !(FLengths & (std::uint64_t(1) << Name.size())) : !FHasLong)
            return false;
        if (FHasWide)
            return true;
        const int Key = keyOf(Name);
        return Key < 0 || (FPrefixes[size_t(Key) >> 6] >> (Key & 63)) & 1;
    }

private:
    // The first two characters folded to lower case (the second 0 for a
    // one-character name), or -1 when one of them is not ASCII.
    static int keyOf(QStringView Name)
    {
        if (Name.isEmpty())
            return 0;
        const char16_t A = Name[0].unicode();
        const char16_t B = Name.size() > 1 ? Name[1].unicode() : 0;
        if ((A | B) >= 0x80)
            return -1;
        return int(fold(A)) << 7 | int(fold(B));
    }
    static char16_t fold(char16_t Ch) { return char16_t(Ch - u'A') < 26 ? char16_t(Ch + 32) : Ch; }

    std::uint64_t FLengths = 0; // bit n set when a name has n characters (n < 64)
    bool FHasLong = false;
    bool FHasWide = false;
    std::array<std::uint64_t, 128 * 128 / 64> FPrefixes{};
};
