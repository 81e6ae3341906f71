// The lexer loses nothing, whatever the input, and gives the callers the
// codes they test.
#include "PasParser.h"

#include "CaseCompare.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <vector>

namespace {

struct Lexeme
{
    int Code;
    QString Text;
    int Pos;
};

std::vector<Lexeme> Lex(const QString &Text, bool KeepQuotes = true)
{
    TPasParser P(Text);
    P.KeepStringQuotes = KeepQuotes;
    std::vector<Lexeme> Out;
    QString L;
    for (int Code = P.GetNext(L); Code != lexEnd; Code = P.GetNext(L))
        Out.push_back({Code, L, P.PrevPos()});
    return Out;
}

QString Joined(const QString &Text)
{
    QString J;
    for (const Lexeme &L : Lex(Text))
        J += L.Text;
    return J;
}

QString RandomText(QRandomGenerator &Rng, int Length)
{
    // Biased towards the characters that open and close lexemes.
    static const QString Specials = QStringLiteral("'{}()*/\\\"#$_ \r\n\t;.:=<>[]+-");
    QString S;
    for (int I = 0; I < Length; ++I) {
        switch (Rng.bounded(6)) {
        case 0:
        case 1:
            S += Specials[Rng.bounded(int(Specials.size()))];
            break;
        case 2:
            S += QChar(char16_t(Rng.bounded(0x20, 0x7F)));
            break;
        case 3:
            S += QChar(char16_t(Rng.bounded(0x80, 0x800)));
            break;
        case 4:
            S += QChar(char16_t(Rng.bounded(0xD800, 0xE000))); // lone surrogates too
            break;
        default:
            S += QChar(char16_t(Rng.bounded(0, 0x10000)));
            break;
        }
    }
    return S;
}

} // namespace

TEST(PasParserLossless, RandomTextsComeBackExactly)
{
    QRandomGenerator Rng(7);
    EXPECT_EQ(Joined(QString()), QString());
    for (int Round = 0; Round < 3000; ++Round) {
        const QString Text = RandomText(Rng, Round % 200);
        ASSERT_EQ(Joined(Text), Text) << "round " << Round;
    }
}

TEST(PasParserLossless, RealLookingUnitComesBackExactly)
{
    const QString Unit = QString::fromUtf8(
        "unit Main;\r\n\r\n{$R *.dfm}\r\ninterface\r\n\r\nuses\r\n  Windows, DBTables, DB; // don't\r\n"
        "type\r\n  TForm1 = class(TForm)\r\n    Query1: TQuery; (* old *)\r\n  end;\r\n"
        "const S = 'It''s ' + #13#10 + 'Привет';\r\n  X = $FF + 1.5e3;\n"
        "implementation\r\nend.\r\n");
    EXPECT_EQ(Joined(Unit), Unit);
    const auto L = Lex(Unit);
    int Pos = 0;
    for (const Lexeme &X : L) {
        EXPECT_EQ(X.Pos, Pos);
        Pos += int(X.Text.size());
    }
}

TEST(PasParserCodes, SymbolsKeywordsAndClasses)
{
    struct Row
    {
        const char *Text;
        int Code;
    };
    const Row Rows[] = {
        {"!", 1},      {"\"", 2},         {"#", 3},         {"(", 7},           {";", 16},
        {"=", 18},     {"`", 27},         {"\\", 23},       {"end", 28},        {"INHERITED", 29},
        {"Inline", 30}, {"iTeM", 31},      {"object", 32},   {"Uses", 33},       {"TQuery", lexIdentifier},
        {"_x1", lexIdentifier},           {"'abc'", lexString}, {"{ x }", lexComment}, {"$FF", lexNumber},
        {"123", lexNumber}, {"|", lexSymbol}, {"~", lexSymbol}, {"}", lexSymbol},
        {"// line", lexComment}, {"(* c *)", lexComment},
    };
    for (const Row &R : Rows) {
        const auto L = Lex(QString::fromUtf8(R.Text));
        ASSERT_EQ(L.size(), 1u) << R.Text;
        EXPECT_EQ(L[0].Code, R.Code) << R.Text;
        EXPECT_EQ(L[0].Text, QString::fromUtf8(R.Text)) << "text kept as written";
    }
}

TEST(PasParserCodes, StringsCommentsAndQuotes)
{
    // An apostrophe in a line comment opens no string.
    auto L = Lex(QStringLiteral("// don't\nTQuery"));
    ASSERT_EQ(L.size(), 3u);
    EXPECT_EQ(L[0].Code, lexComment);
    EXPECT_EQ(L[2].Code, lexIdentifier);

    // A string that is not closed ends at the line break.
    L = Lex(QStringLiteral("'open\r\nTQuery"));
    ASSERT_EQ(L.size(), 3u);
    EXPECT_EQ(L[0].Text, QStringLiteral("'open"));
    EXPECT_EQ(L[2].Text, QStringLiteral("TQuery"));

    // Binary form data in braces is one comment: no numbers or identifiers.
    L = Lex(QStringLiteral("Data = {\r\n  0A0B0C0D\r\n  FFEE}"));
    EXPECT_EQ(L.back().Code, lexComment);

    // Without quotes a string gives its value; a doubled quote is one quote.
    L = Lex(QStringLiteral("'It''s'"), false);
    ASSERT_EQ(L.size(), 1u);
    EXPECT_EQ(L[0].Text, QStringLiteral("It's"));
    EXPECT_EQ(Lex(QStringLiteral("''"), false)[0].Text, QString());
}

TEST(PasParserCodes, SetTextRestartsPositions)
{
    TPasParser P(QStringLiteral("object A"));
    QString L;
    while (P.GetNext(L) != lexEnd) {
    }
    P.SetText(QStringLiteral("  end"));
    EXPECT_EQ(P.GetNext(L), lexBlanks);
    EXPECT_EQ(P.GetNext(L), 28);
    EXPECT_EQ(P.PrevPos(), 2);
    EXPECT_EQ(P.GetNext(L), lexEnd);
    EXPECT_EQ(L, QString());
    P.ToBegin();
    EXPECT_EQ(P.GetNext(L), lexBlanks);
}

TEST(CaseCompare, OrdersNamesAsQtDoesWithoutRegardToLetterCase)
{
    const char16_t *const Names[] = {
        u"", u"a", u"A", u"_", u"Z", u"z", u"[", u"`", u"{", u"@", u"0", u"TQuery", u"tquery", u"TQUERY1", u"TQuer",
        u"TwwQuery", u"T_Query", u"Tquery\u00e9", u"TQUERY\u00c9", u"\u212aey", u"key", u"KEY", u"stra\u00dfe",
        u"STRASSE", u"\u00e9", u"\u00c9", u"end", u"END", u"endx",
    };
    const auto sign = [](int Value) { return (Value > 0) - (Value < 0); };
    for (const char16_t *A : Names) {
        // The quick test before a search passes every name equal to one of
        // the set, and rejects some that are not; the hashed index finds
        // exactly the equal ones, or leaves the search to the caller where
        // a character is not ASCII.
        TNameFilter Filter;
        Filter.Add(QStringView(A));
        TAsciiNameIndex Index;
        Index.Add(QStringView(A), 7);
        const auto isAscii = [](QStringView Name) {
            return std::all_of(Name.begin(), Name.end(), [](QChar C) { return C.unicode() < 0x80; });
        };
        for (const char16_t *B : Names) {
            const int Expected = sign(QStringView(A).compare(QStringView(B), Qt::CaseInsensitive));
            const std::string Pair = QString::fromUtf16(A).toStdString() + " / " + QString::fromUtf16(B).toStdString();
            EXPECT_EQ(sign(compareIgnoringCase(QStringView(A), QStringView(B))), Expected) << Pair;
            if (Expected == 0) {
                EXPECT_TRUE(Filter.MayContain(QStringView(B))) << Pair;
                EXPECT_EQ(hashIgnoringCase(QStringView(A)), hashIgnoringCase(QStringView(B))) << Pair;
            }
            const int Found = Index.Find(QStringView(B));
            const int Wanted = !isAscii(A) || !isAscii(B) ? TAsciiNameIndex::Unknown
                               : Expected == 0          ? 7
                                                        : TAsciiNameIndex::Absent;
            EXPECT_EQ(Found, Wanted) << Pair;
        }
    }
    TNameFilter Filter;
    Filter.Add(u"TQuery");
    Filter.Add(u"TTable");
    EXPECT_FALSE(Filter.MayContain(u"TForm1"));
    EXPECT_FALSE(Filter.MayContain(u"TQuery1"));
    EXPECT_TRUE(Filter.MayContain(u"tqUERX"));
    Filter.Add(u"\u212aey");
    EXPECT_TRUE(Filter.MayContain(u"kEy"));
    // Many names: the index grows and keeps the first value of a name.
    TAsciiNameIndex Index;
    for (int I = 0; I < 100; ++I)
        Index.Add(QStringLiteral("Name%1").arg(I), I);
    Index.Add(u"NAME5", 99);
    for (int I = 0; I < 100; ++I)
        EXPECT_EQ(Index.Find(QStringLiteral("nAmE%1").arg(I)), I);
    EXPECT_EQ(Index.Find(u"Name100"), TAsciiNameIndex::Absent);
}
