// The base tokenizer TParser and its lexeme tables (TLexemList): cuts a text
// into lexemes that a caller reads one at a time.
//
// Invariant: nothing is lost. The texts of all lexemes up to lexEnd, joined
// in order, give the text exactly: blanks, line breaks and comments come back
// as lexemes (unless the caller switches SkipBlanks or SkipComments on), and
// every character, valid or not, belongs to exactly one lexeme.
#pragma once

#include "CaseCompare.h"

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <vector>

// Lexeme codes of the base tokenizer. Symbols and keywords get the codes of
// their tables (positive numbers); everything else one of these.
enum TLexemCode : int {
    lexEnd = 0,
    lexBlanks = -101,
    lexIdentifier = -103,
    lexNumber = -104,
    lexSymbol = -105, // a symbol character that has no table entry
    lexString = -106,
    lexOther = -107,  // characters of no other class (controls, signs above 0x7E)
    lexComment = -108,
};

// A list of texts, each with an integer code, put in order by Sort once
// filled. Lookups ignore letter case.
class TLexemList
{
public:
    void Add(const QString &Text, int Code);
    void Sort();
    int Count() const { return int(FItems.size()); }
    const QString &Text(int Index) const { return FItems[size_t(Index)].Text; }
    int Code(int Index) const { return FItems[size_t(Index)].Code; }
    // The code of Text (compared without regard to letter case), or 0.
    int Find(QStringView Text) const;

private:
    struct TItem
    {
        QString Text;
        int Code;
    };
    std::vector<TItem> FItems;
    TNameFilter FFilter;
    TAsciiNameIndex FIndex;
};

class TParser
{
public:
    explicit TParser(const QString &Text);
    TParser(const TParser &) = delete;
    TParser &operator=(const TParser &) = delete;
    virtual ~TParser();

    // Returns the code of the next lexeme and its text.
    int GetNext(QString &Lexem);
    // The same, giving a view into the current text; the view stays valid
    // until SetText. This is the form the rewriting loops use.
    int GetNextView(QStringView &Lexem);

    // Zero-based offset, in the current text, of the lexeme returned last.
    int PrevPos() const { return FPrevPos; }
    // Replaces the text and restarts reading at its first character.
    void SetText(const QString &Text);
    // Restarts reading at the start of the current text.
    void ToBegin();
    // Sets the zero-based reading position (clamped to the text).
    void SetPos(int NewPos);
    const QString &Text() const { return FText; }

    bool SkipBlanks = false;
    bool SkipComments = false;
    bool KeepStringQuotes = false;

protected:
    void SetSymbols(const TLexemList *Symbols);
    void SetKeywords(const TLexemList *Keywords);
    void SetBlockComment(QChar Opener, QChar Closer);

    // Builds the character classes from the character tests below. The tests
    // are asked once for each character up to U+00FF (their answers are kept
    // in a table) and directly for every character above it, so a descendant
    // that overrides them must answer from the character alone.
    virtual void InitParser();
    virtual bool IsSymbolChar(QChar Ch) const;
    virtual bool IsAlpha(QChar Ch) const;
    virtual bool IsNumberChar(QChar Ch) const;
    virtual bool IsStringQuoteChar(QChar Ch) const;

private:
    enum TCharClass : uint8_t {
        ccBlank = 1,
        ccIdentStart = 2,
        ccIdentPart = 4,
        ccNumberStart = 8,
        ccNumberPart = 16,
        ccSymbol = 32,
        ccQuote = 64,
    };
    uint8_t ClassOf(char16_t Ch) const { return Ch < 256 ? FClasses[Ch] : ClassOfWide(Ch); }
    uint8_t ClassOfWide(char16_t Ch) const;
    void BuildClasses();
    int ReadLexem(qsizetype &Start, qsizetype &End);

    QString FText;
    qsizetype FPos = 0;
    int FPrevPos = 0;
    bool FInitialized = false;
    const TLexemList *FSymbols = nullptr;
    const TLexemList *FKeywords = nullptr;
    QChar FCommentOpener = u'{';
    QChar FCommentCloser = u'}';
    std::array<uint8_t, 256> FClasses{};
    std::array<int, 128> FSymbolCodes{};
};
