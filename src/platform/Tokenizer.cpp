#include "Tokenizer.h"

#include "CaseCompare.h"

#include <algorithm>
#include <typeinfo>

// Written by hand rather than with a lexer generator: the cut must be
// lossless for any input (lone surrogates, unbalanced quotes and braces), the
// character tests are virtual so that a descendant decides what a symbol or a
// number is, and the rewriting loops need views into the text, not copies.
//
// Beside block comments, the tokenizer also recognises "//" line comments and
// "(* *)" comments, and a string that is not closed ends at the line break.
// Without that, one stray apostrophe ("// don't") would open a string that
// swallows the rest of a unit, and every class name after it would be missed
// by the conversion.

void TLexemList::Add(const QString &Text, int Code)
{
    FItems.push_back({Text, Code});
    FFilter.Add(Text);
    FIndex.Add(Text, Code);
}

void TLexemList::Sort()
{
    std::stable_sort(FItems.begin(), FItems.end(), [](const TItem &A, const TItem &B) {
        return QString::compare(A.Text, B.Text, Qt::CaseInsensitive) < 0;
    });
}

int TLexemList::Find(QStringView Text) const
{
    if (!FFilter.MayContain(Text))
        return 0;
    if (const int Code = FIndex.Find(Text); Code != TAsciiNameIndex::Unknown)
        return Code == TAsciiNameIndex::Absent ? 0 : Code;
    const auto It = std::lower_bound(FItems.begin(), FItems.end(), Text, [](const TItem &A, QStringView B) {
        return compareIgnoringCase(A.Text, B) < 0;
    });
    if (It != FItems.end() && compareIgnoringCase(It->Text, Text) == 0)
        return It->Code;
    return 0;
}

TParser::TParser(const QString &Text) : FText(Text)
{
}

TParser::~TParser() = default;

void TParser::SetSymbols(const TLexemList *Symbols)
{
    FSymbols = Symbols;
    FInitialized = false;
}

void TParser::SetKeywords(const TLexemList *Keywords)
{
    FKeywords = Keywords;
    FInitialized = false;
}

void TParser::SetBlockComment(QChar Opener, QChar Closer)
{
    FCommentOpener = Opener;
    FCommentCloser = Closer;
}

void TParser::SetText(const QString &Text)
{
    FText = Text;
    FPos = 0;
    FPrevPos = 0;
}

void TParser::ToBegin()
{
    FPos = 0;
    FPrevPos = 0;
}

void TParser::SetPos(int NewPos)
{
    FPos = std::clamp<qsizetype>(NewPos, 0, FText.size());
}

bool TParser::IsSymbolChar(QChar Ch) const
{
    const char16_t C = Ch.unicode();
    return (C >= 0x21 && C <= 0x2F) || (C >= 0x3A && C <= 0x40) || (C >= 0x5B && C <= 0x60) || (C >= 0x7B && C <= 0x7E);
}

bool TParser::IsAlpha(QChar Ch) const
{
    return Ch == u'_' || Ch.isLetter();
}

bool TParser::IsNumberChar(QChar Ch) const
{
    return Ch.isDigit();
}

bool TParser::IsStringQuoteChar(QChar Ch) const
{
    return Ch == u'\'' || Ch == u'"';
}

void TParser::InitParser()
{
    // The character tests answer from the character alone, so the table of a
    // class of tokenizer is built once and shared by its instances (a unit's
    // rewriting creates one lexer per comment). Each thread keeps its own
    // tables, so that creating a lexer takes no lock. The cache is a plain
    // array (trivially destructible): MinGW frees a thread's thread_local
    // storage before the destructors of its objects run. The classes of
    // tokenizer are few; beyond the cache's size a table is built each time.
    struct TCachedTable
    {
        const std::type_info *Class;
        std::array<uint8_t, 256> Classes;
    };
    constexpr int CacheSize = 8;
    thread_local TCachedTable Tables[CacheSize];
    thread_local int Cached = 0;
    const std::type_info &Class = typeid(*this);
    const auto End = Tables + Cached;
    const auto It = std::find_if(Tables, End, [&](const TCachedTable &T) { return *T.Class == Class; });
    if (It != End) {
        FClasses = It->Classes;
    } else {
        BuildClasses();
        if (Cached < CacheSize)
            Tables[Cached++] = {&Class, FClasses};
    }
    FSymbolCodes.fill(0);
    if (FSymbols)
        for (int I = 0; I < FSymbols->Count(); ++I) {
            const QString &T = FSymbols->Text(I);
            if (T.size() == 1 && T[0].unicode() < 128)
                FSymbolCodes[T[0].unicode()] = FSymbols->Code(I);
        }
    FInitialized = true;
}

void TParser::BuildClasses()
{
    for (int C = 0; C < 256; ++C) {
        const QChar Ch{char16_t(C)};
        uint8_t Cls = 0;
        if (C <= 0x20)
            Cls |= ccBlank;
        if (IsAlpha(Ch))
            Cls |= ccIdentStart | ccIdentPart;
        if ((C >= '0' && C <= '9') || C == '_')
            Cls |= ccIdentPart;
        if (IsNumberChar(Ch)) {
            Cls |= ccNumberPart;
            // A number starts with a digit or with a number sign such as "$";
            // a letter that counts as a digit ("A" to "F") starts an identifier.
            if (!(Cls & ccIdentStart))
                Cls |= ccNumberStart;
        }
        if (IsStringQuoteChar(Ch))
            Cls |= ccQuote;
        else if (IsSymbolChar(Ch))
            Cls |= ccSymbol;
        FClasses[size_t(C)] = Cls;
    }
}

uint8_t TParser::ClassOfWide(char16_t Ch) const
{
    const QChar C(Ch);
    uint8_t Cls = 0;
    if (IsAlpha(C))
        Cls |= ccIdentStart | ccIdentPart;
    if (IsNumberChar(C) && !(Cls & ccIdentStart))
        Cls |= ccNumberStart | ccNumberPart;
    if (IsStringQuoteChar(C))
        Cls |= ccQuote;
    else if (IsSymbolChar(C))
        Cls |= ccSymbol;
    return Cls;
}

// Reads one lexeme at FPos; returns its code and its bounds. Its only caller
// is GetNextView, called once per lexeme: inlined there, the call's overhead
// is saved a million times on a large project.
Q_ALWAYS_INLINE int TParser::ReadLexem(qsizetype &Start, qsizetype &End)
{
    const char16_t *S = reinterpret_cast<const char16_t *>(FText.constData());
    const qsizetype N = FText.size();
    qsizetype P = FPos;
    Start = P;
    if (P >= N) {
        End = P;
        return lexEnd;
    }
    const char16_t C = S[P];
    const uint8_t Cls = ClassOf(C);

    if (Cls & ccBlank) {
        while (P < N && S[P] <= 0x20)
            ++P;
        End = P;
        return lexBlanks;
    }
    if (C == FCommentOpener.unicode()) {
        ++P;
        while (P < N && S[P] != FCommentCloser.unicode())
            ++P;
        End = P < N ? P + 1 : P;
        return lexComment;
    }
    if (C == u'/' && P + 1 < N && S[P + 1] == u'/') {
        while (P < N && S[P] != u'\r' && S[P] != u'\n')
            ++P;
        End = P;
        return lexComment;
    }
    if (C == u'(' && P + 1 < N && S[P + 1] == u'*') {
        P += 2;
        while (P < N && !(S[P] == u'*' && P + 1 < N && S[P + 1] == u')'))
            ++P;
        End = P < N ? P + 2 : P;
        return lexComment;
    }
    if (Cls & ccQuote) {
        // A doubled quote inside the string belongs to it; a line break ends
        // a string that was not closed.
        ++P;
        while (P < N) {
            const char16_t D = S[P];
            if (D == C) {
                if (P + 1 < N && S[P + 1] == C) {
                    P += 2;
                    continue;
                }
                ++P;
                break;
            }
            if (D == u'\r' || D == u'\n')
                break;
            ++P;
        }
        End = P;
        return lexString;
    }
    if (Cls & ccIdentStart) {
        ++P;
        while (P < N && (ClassOf(S[P]) & ccIdentPart))
            ++P;
        End = P;
        if (FKeywords) {
            const int Code = FKeywords->Find(QStringView(S + Start, End - Start));
            if (Code)
                return Code;
        }
        return lexIdentifier;
    }
    if (Cls & ccNumberStart) {
        ++P;
        while (P < N && (ClassOf(S[P]) & ccNumberPart))
            ++P;
        End = P;
        return lexNumber;
    }
    End = P + 1;
    if (Cls & ccSymbol) {
        const int Code = C < 128 ? FSymbolCodes[C] : 0;
        return Code ? Code : int(lexSymbol);
    }
    // Keep a surrogate pair together in one lexeme.
    if (C >= 0xD800 && C <= 0xDBFF && End < N && S[End] >= 0xDC00 && S[End] <= 0xDFFF)
        ++End;
    return lexOther;
}

int TParser::GetNextView(QStringView &Lexem)
{
    if (!FInitialized)
        InitParser();
    for (;;) {
        qsizetype Start, End;
        const int Code = ReadLexem(Start, End);
        FPos = End;
        if ((Code == lexBlanks && SkipBlanks) || (Code == lexComment && SkipComments))
            continue;
        FPrevPos = int(Start);
        if (Code == lexString && !KeepStringQuotes && End - Start >= 1) {
            // Without quotes the lexeme is the string's inside: the opening
            // quote and, when present, the closing one are left out.
            const char16_t Q = FText[Start].unicode();
            qsizetype B = Start + 1, E = End;
            if (E - B >= 1 && FText[E - 1].unicode() == Q)
                --E;
            Lexem = QStringView(FText).mid(B, E - B);
            return Code;
        }
        // Start and End lie in the text: no bounds to check.
        Lexem = QStringView(FText.constData() + Start, End - Start);
        return Code;
    }
}

int TParser::GetNext(QString &Lexem)
{
    QStringView View;
    const int Code = GetNextView(View);
    Lexem = View.toString();
    if (Code == lexString && !KeepStringQuotes) {
        // A doubled quote inside stands for one quote.
        const QChar Q = FText[FPrevPos];
        Lexem.replace(QString(2, Q), QString(1, Q));
    }
    return Code;
}
