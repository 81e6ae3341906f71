// Comparison of names without regard to letter case, for the lookups that
// run on every lexeme: keywords and the old class names.
#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

// An ASCII capital letter as its small letter, any other character as it is.
inline char16_t foldAscii(char16_t Ch) noexcept
{
    return char16_t(Ch - u'A') < 26 ? char16_t(Ch + 32) : Ch;
}

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
        if ((P[I] | Q[I]) >= 0x80)
            return A.compare(B, Qt::CaseInsensitive);
        const char16_t X = foldAscii(P[I]);
        const char16_t Y = foldAscii(Q[I]);
        if (X != Y)
            return int(X) - int(Y);
    }
    return A.size() == B.size() ? 0 : A.size() < B.size() ? -1 : 1;
}

// A hash of a name that ignores letter case: names that compareIgnoringCase
// finds equal have equal hashes (ASCII is folded here, any other character
// of the Basic Multilingual Plane as Qt folds it). A letter beyond that plane
// is hashed as written, so two spellings of such a name may hash apart: use
// it where that costs a second entry, never a wrong answer. Seed chains the
// parts of a compound key.
inline std::uint64_t hashIgnoringCase(QStringView Name, std::uint64_t Seed = 14695981039346656037ull) noexcept
{
    std::uint64_t Hash = Seed;
    for (const QChar C : Name) {
        const char16_t U = C.unicode();
        Hash = (Hash ^ (U < 0x80 ? foldAscii(U) : C.toCaseFolded().unicode())) * 1099511628211ull;
    }
    return (Hash ^ 0xFFFF) * 1099511628211ull; // ends the part: "ab"+"c" differs from "a"+"bc"
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
        return int(foldAscii(A)) << 7 | int(foldAscii(B));
    }

    std::uint64_t FLengths = 0; // bit n set when a name has n characters (n < 64)
    bool FHasLong = false;
    bool FHasWide = false;
    std::array<std::uint64_t, 128 * 128 / 64> FPrefixes{};
};

// Names of a set looked up without regard to letter case by a hash of their
// characters folded as compareIgnoringCase folds them: one probe and one
// comparison where a binary search makes several. Only ASCII is hashed: a
// name with another character may equal a name of the set under Qt's
// folding (the Kelvin sign is a "k"), so for such a name, or once the set
// holds one, the index cannot tell and the caller searches as before.
class TAsciiNameIndex
{
public:
    static constexpr int Absent = -1;
    static constexpr int Unknown = -2;

    // Value (0 or more) for Name; the first value given for a name stays.
    void Add(QStringView Name, int Value)
    {
        bool IsAscii = true;
        const std::uint32_t Hash = hashOf(Name, IsAscii);
        if (!IsAscii || Value < 0) {
            FGaveUp = true; // every lookup is the caller's from now on
            return;
        }
        if (2 * (FCount + 1) > qsizetype(FSlots.size()))
            grow();
        if (insert(Name, Value, Hash))
            ++FCount;
    }
    void Clear() { *this = TAsciiNameIndex(); }
    // The value of the name equal to Name, Absent, or Unknown.
    int Find(QStringView Name) const
    {
        if (FGaveUp)
            return Unknown;
        bool IsAscii = true;
        const std::uint32_t Hash = hashOf(Name, IsAscii);
        if (!IsAscii)
            return Unknown;
        if (FSlots.empty())
            return Absent;
        const std::size_t Mask = FSlots.size() - 1;
        for (std::size_t I = Hash & Mask;; I = (I + 1) & Mask) {
            const TSlot &Slot = FSlots[I];
            if (Slot.Value < 0)
                return Absent;
            if (Slot.Hash == Hash && Slot.Name.size() == Name.size() && compareIgnoringCase(Slot.Name, Name) == 0)
                return Slot.Value;
        }
    }

private:
    struct TSlot
    {
        QString Name;
        std::uint32_t Hash = 0;
        int Value = -1; // -1: empty
    };

    static std::uint32_t hashOf(QStringView Name, bool &IsAscii)
    {
        std::uint32_t Hash = 2166136261u;
        for (const QChar C : Name) {
            if (C.unicode() >= 0x80) {
                IsAscii = false;
                return 0;
            }
            Hash = (Hash ^ foldAscii(C.unicode())) * 16777619u;
        }
        return Hash;
    }
    // False when the name is there already.
    bool insert(QStringView Name, int Value, std::uint32_t Hash)
    {
        const std::size_t Mask = FSlots.size() - 1;
        for (std::size_t I = Hash & Mask;; I = (I + 1) & Mask) {
            TSlot &Slot = FSlots[I];
            if (Slot.Value < 0) {
                Slot = {Name.toString(), Hash, Value};
                return true;
            }
            if (Slot.Hash == Hash && compareIgnoringCase(Slot.Name, Name) == 0)
                return false;
        }
    }
    void grow()
    {
        std::vector<TSlot> Old(std::max<std::size_t>(16, 2 * FSlots.size()));
        Old.swap(FSlots);
        for (TSlot &Slot : Old)
            if (Slot.Value >= 0)
                insert(Slot.Name, Slot.Value, Slot.Hash);
    }

    std::vector<TSlot> FSlots;
    qsizetype FCount = 0;
    bool FGaveUp = false; // a name above ASCII, or a negative value, was added
};
