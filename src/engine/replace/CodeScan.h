// The code scan: where the code of a unit uses a member of a component whose
// class the run converts and which the new class renames, lacks or expresses
// in another way. It finds the identifiers that the unit declares with an old
// class (fields, variables, parameters, function results), then each
// "Ident.Member" and "Ident.Member.Sub" of the code and each "with" whose
// subject is such an identifier, with the bare members its statement uses.
// Through the index of the run's units (UnitIndex.h) it also finds
// "DataModule1.Query1.Member", where DataModule1 is another unit's object. What becomes of a member is asked of the
// form parser's rules (TMemberFate), so code and forms follow one table.
//
// The scan reads the lexemes of the unit rewriting; comments, strings and
// "//" and "(* *)" comments are never read as code.
#pragma once

#include "CaseCompare.h"
#include "MemberFate.h"
#include "PasParser.h"
#include "UsesClauses.h"

class TUnitIndex;

#include <QString>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <vector>

// The fate of Member ("IndexName", "AutoUpdateOptions.KeyFields") on an
// object converted from OldClass to NewClass.
using TMemberLookup =
    std::function<TMemberFate(const QString &OldClass, const QString &NewClass, const QString &Member)>;

// The places of a unit's code that the code scan reads, found while the
// unit is lexed (lexUnitInto), so that the scan does not walk every lexeme
// again. The lexemes are the code's alone: the lexer gives each "{ }", "//"
// and "(* *)" comment as one lexeme, and a lexing that indexes puts them
// aside. As indexes into the lexemes, in text order: the identifiers after
// a colon, the possible subjects (an identifier before a dot, and "with"),
// the words that begin a routine ("procedure", "function", "constructor",
// "destructor"), "begin" and "end", the keyword of each uses clause, and
// where the implementation part begins.
class TCodeIndex
{
public:
    std::vector<size_t> TypesAt, Subjects, HeadsAt, BeginsAt, EndsAt, UsesAt;
    size_t Implementation = 0; // the first "implementation"; 0 without one

    void Clear()
    {
        for (std::vector<size_t> *Each : {&TypesAt, &Subjects, &HeadsAt, &BeginsAt, &EndsAt, &UsesAt})
            Each->clear(); // the memory stays
        Implementation = 0;
        FBefore = TBefore::Other;
    }
    // Takes Lexems[At], a lexeme of code, the lexemes being given in text
    // order.
    inline void Add(const QString &Text, const std::vector<TUnitLexem> &Lexems, size_t At);

private:
    // What the last code lexeme was: an identifier that may be a subject
    // (not an old class, not "with"), a colon, or something else.
    enum class TBefore : unsigned char { Other, Subject, Colon };
    TBefore FBefore = TBefore::Other;
    // The words of an identifier that the index notes.
    enum class TWord : unsigned char { Other, With, Begin, Heading, Implementation };
    static inline TWord wordOf(const QString &Text, const TUnitLexem &L);
};

// The fates that a run has asked of the rules. The units of a project use
// the same few members of the same few classes again and again: each is
// asked once per run (letter case ignored), and its names are kept to be
// shared by the uses and report items that name them.
class TMemberFates
{
public:
    // The index of the unit being scanned, its memory taken again unit
    // after unit by the scans of one conversion.
    TCodeIndex Index;

    struct TEntry
    {
        QString OldClass, NewClass, First, Sub; // as first written
        TMemberFate Fate;
        // What a report says of the fate, made once by the reporter and
        // shared by every item that says it.
        mutable QString Said;
    };
    // Lookup answers what the cache does not know; Owner (the rules' owner)
    // tells one set of rules from another: a new one empties the cache.
    void Use(const void *Owner, TMemberLookup Lookup)
    {
        if (Owner != FOwner)
            Clear();
        FOwner = Owner;
        FLookup = std::move(Lookup);
    }
    void Clear()
    {
        FEntries.clear();
        FSlots.clear();
        FOwner = nullptr;
    }
    // Sub is empty for a member of one part. Pair is PairHash(OldClass,
    // NewClass), which a caller asking about one object again and again
    // works out once.
    const TEntry &Of(std::uint64_t Pair, QStringView OldClass, const QString &NewClass, QStringView First,
                     QStringView Sub);
    static std::uint64_t PairHash(QStringView OldClass, const QString &NewClass);

private:
    struct TSlot
    {
        std::uint64_t Hash = 0;
        const TEntry *Entry = nullptr; // none: an empty slot
    };
    void place(const TSlot &Slot);
    // The high bits of the hash mixed into the low ones that the mask keeps.
    static std::size_t slotOf(std::uint64_t Hash) { return std::size_t(Hash ^ (Hash >> 29)); }
    const void *FOwner = nullptr;
    TMemberLookup FLookup;
    std::deque<TEntry> FEntries; // entries stay where they are
    // Open addressing by a hash of the four names (asked once per member
    // use of the code: one probe, no division, no node to follow).
    std::vector<TSlot> FSlots;
};

struct TCodeUse
{
    enum class TKind {
        Member, // Ident.Member whose fate is not Kept
        With,   // "with Ident do": the members used inside are not checked
    };
    TKind Kind = TKind::Member;
    qsizetype Pos = 0;  // zero-based start of the identifier
    QString Ident;      // as written
    QString OldClass;   // as the declaration writes it
    QString NewClass;
    QString Member;     // the member path the fate covers, as written
    TMemberFate Fate;
    // The cache's entry the fate comes from (its names are the first
    // spelling met in the run).
    const TMemberFates::TEntry *Known = nullptr;
    // Whether the object was reached through the index of the run's units
    // ("DataModule1.Query1"), not declared in the unit itself.
    bool Reached = false;
    // For a one-to-one rename: the range of the text that names the member
    // (zero-based, End behind it), to be replaced by Fate.Target. Empty
    // (Start == End) when the member cannot be rewritten in place.
    qsizetype RenameStart = 0;
    qsizetype RenameEnd = 0;
};

// What the scan of a unit knows beyond the unit: the interfaces of the run's
// units, through which "DataModule1.Query1.IndexName" reaches a field of a
// class of another unit, and the unit's own name as uses clauses name it.
struct TCodeScanScope
{
    const TUnitIndex *Index = nullptr; // not owned; none: the unit alone
    QString Unit;
    // Without an index: set when the unit has code that an index could
    // resolve ("A.B.Member" or "with A.B do" where A is not one of its own
    // converted objects), so that it is scanned again once the index is
    // there.
    bool *MayReach = nullptr;
};

// A method heading whose parameter list names an old class, at Pos
// ("procedure TForm1.Query1Error(E: EDBEngineError)"): an event handler's
// signature that the renaming changes.
struct TRenamedParameter
{
    qsizetype Pos;
    QString Method, OldClass, NewClass;
};

// The uses in text order. Lexems are the unit's lexemes of code (blanks
// and comments left out) and Index is theirs, as a lexing with an index
// made them; an identifier with a NewName names an old class. A use through
// a field of another object names both ("DM.Query1"). Headings, when given,
// receives the method headings with a renamed parameter class, in text
// order.
std::vector<TCodeUse> scanCodeUses(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TCodeIndex &Index,
                                   TMemberFates &Fates, const TCodeScanScope &Scope = {},
                                   std::vector<TRenamedParameter> *Headings = nullptr);

// Whether L is the identifier Word, letter case ignored. Asked of nearly
// every identifier: the length and the first letter decide most answers
// without a comparison.
template <std::size_t N>
bool isWord(const QString &Text, const TUnitLexem &L, const char16_t (&Word)[N])
{
    if (L.Code != lexIdentifier || L.End - L.Start != qsizetype(N - 1))
        return false;
    const char16_t First = Text[L.Start].unicode();
    if (First < 0x80 && foldAscii(First) != foldAscii(Word[0]))
        return false;
    return compareIgnoringCase(QStringView(Text).mid(L.Start, L.End - L.Start), QStringView(Word, qsizetype(N - 1))) == 0;
}

// Appends the lexemes of Text to Lexems, blanks left out, each identifier
// with NewName(its text) (the new class of an old class name, or nullptr).
// With Index (emptied first), the lexemes are indexed and the comments are
// left out of Lexems; with Comments, the comments go there instead. Stops
// before the first lexeme for which Stop(Code, Text, Start) is true.
template <class TNewName, class TStop>
void lexUnitInto(const QString &Text, std::vector<TUnitLexem> &Lexems, TNewName &&NewName, TStop &&Stop,
                 TCodeIndex *Index = nullptr, std::vector<TUnitLexem> *Comments = nullptr)
{
    if (Index)
        Index->Clear();
    TPasParser Lexer(Text);
    QStringView Lexem;
    for (int Code = Lexer.GetNextView(Lexem); Code != lexEnd; Code = Lexer.GetNextView(Lexem)) {
        if (Code == lexBlanks)
            continue;
        const qsizetype Start = Lexer.PrevPos();
        if (Stop(Code, Lexem, Start))
            return;
        if (Code == lexComment && (Index || Comments)) {
            if (Comments)
                Comments->push_back({Start, Start + Lexem.size(), nullptr, Code});
            continue;
        }
        Lexems.push_back({Start, Start + Lexem.size(), Code == lexIdentifier ? NewName(Lexem) : nullptr, Code});
        if (Index)
            Index->Add(Text, Lexems, Lexems.size() - 1);
    }
}

void TCodeIndex::Add(const QString &Text, const std::vector<TUnitLexem> &Lexems, size_t At)
{
    // Runs on every lexeme of every unit: one switch on the lexeme's code,
    // and a word told by its length before any letter is compared.
    const TUnitLexem &L = Lexems[At];
    const TBefore Before = FBefore;
    FBefore = TBefore::Other;
    switch (L.Code) {
    case lexIdentifier:
        if (Before == TBefore::Colon && At >= 2)
            TypesAt.push_back(At);
        if (L.NewName)
            break;
        switch (wordOf(Text, L)) {
        case TWord::With:
            Subjects.push_back(At);
            return;
        case TWord::Begin:
            BeginsAt.push_back(At);
            break;
        case TWord::Heading:
            HeadsAt.push_back(At);
            break;
        case TWord::Implementation:
            if (!Implementation)
                Implementation = At;
            break;
        case TWord::Other:
            break;
        }
        FBefore = TBefore::Subject;
        break;
    case lexDot:
        if (Before == TBefore::Subject)
            Subjects.push_back(At - 1);
        break;
    case lexColon:
        FBefore = TBefore::Colon;
        break;
    case lexKeywordUses:
        UsesAt.push_back(At);
        break;
    case lexKeywordEnd:
        EndsAt.push_back(At);
        break;
    default:
        break;
    }
}

TCodeIndex::TWord TCodeIndex::wordOf(const QString &Text, const TUnitLexem &L)
{
    // The one word of each length that the index notes.
    struct TEntry
    {
        const char16_t *Word;
        TWord Kind;
    };
    static constexpr TEntry ByLength[] = {
        {}, {}, {}, {}, {u"with", TWord::With}, {u"begin", TWord::Begin}, {}, {},
        {u"function", TWord::Heading}, {u"procedure", TWord::Heading}, {u"destructor", TWord::Heading},
        {u"constructor", TWord::Heading}, {}, {}, {u"implementation", TWord::Implementation},
    };
    const qsizetype Size = L.End - L.Start;
    if (Size >= qsizetype(std::size(ByLength)) || !ByLength[Size].Word)
        return TWord::Other;
    const TEntry &E = ByLength[Size];
    const char16_t First = Text[L.Start].unicode();
    if (First < 0x80 && foldAscii(First) != E.Word[0])
        return TWord::Other;
    return compareIgnoringCase(QStringView(Text).mid(L.Start, Size), QStringView(E.Word, Size)) == 0 ? E.Kind
                                                                                                     : TWord::Other;
}

// The indexes of the lexemes before End that are code (not comments), in
// order, into Code (emptied first).
void codeLexemes(const std::vector<TUnitLexem> &Lexems, std::vector<size_t> &Code,
                 size_t End = size_t(-1));
