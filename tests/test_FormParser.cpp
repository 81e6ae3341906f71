// The form parser: what it records while it reads an object, what reaches
// ConvertProperty, the rollback on backtracking, and the object it writes.
#include "Errors.h"
#include "FormParser.h"

#include <gtest/gtest.h>

#include <ostream>

// Failures show texts readably, line breaks as \r and \n.
void PrintTo(const QString &Text, std::ostream *Out)
{
    *Out << '"' << QString(Text).replace("\r", "\\r").replace("\n", "\\n").toStdString() << '"';
}

namespace {

// Records what ConvertProperty receives and appends it unchanged.
class TRecordingParser : public TFormParser
{
public:
    using TFormParser::TFormParser;
    using TFormParser::SetMemoEnabled;
    QList<QPair<QString, QString>> Calls;
    int Copies = 1;

    void ConvertProperty(const QString &PropName, const QString &PropValue) override
    {
        Calls.append({PropName, PropValue});
        for (int I = 0; I < Copies; ++I)
            AddProperty(PropName, PropValue);
    }
};

// Lines joined with CR LF, the line ends Delphi writes.
QString crlf(const QStringList &Lines)
{
    return Lines.join(QStringLiteral("\r\n"));
}

QStringList names(const QList<TFormProperty> &Props)
{
    QStringList Result;
    for (const TFormProperty &Property : Props)
        Result << Property.Name;
    return Result;
}

bool parses(TFormParser &Parser, const QString &Text, int *Pos = nullptr)
{
    int Start = 1;
    int &P = Pos ? *Pos : Start;
    return Parser.ParseString(Text, QStringLiteral("<object>"), P);
}

const QString Query = crlf({
    "object Query1: TQuery",
    "  object Query1ID: TIntegerField",
    "    FieldName = 'ID'",
    "  end",
    "  DatabaseName = 'SALES'",
    "  SQL.Strings = (",
    "    'select *'",
    "    'from T')",
    "  object Query1NAME: TStringField",
    "    Size = 30",
    "  end",
    "  Left = 8",
    "end",
    "object Next: TTable",
    "end",
});

} // namespace

TEST(FormParserObject, RecordsHeaderAndWritesPropertiesBeforeNestedObjects)
{
    TRecordingParser P;
    P.SetNewClassName("TOrxQuery");
    int Pos = 1;
    ASSERT_TRUE(parses(P, Query, &Pos));
    EXPECT_EQ(Query.mid(Pos - 1, 11), "object Next");
    EXPECT_EQ(P.FormState().ObjKeyWord(), "object");
    EXPECT_EQ(P.FormState().Name(), "Query1");
    EXPECT_EQ(P.FormState().TypeName(), "TQuery");
    EXPECT_EQ(TFormParserUtils::GetTypeName(P.FormState()), "TQuery");
    EXPECT_EQ(P.FormState().PropCount(), 3);
    EXPECT_EQ(P.FormState().ObjectCount(), 2);
    EXPECT_EQ(P.MakeObject(0), crlf({
                                   "object Query1: TOrxQuery",
                                   "  DatabaseName = 'SALES'",
                                   "  SQL.Strings = (",
                                   "        'select *'",   // 2 + 2 + the line's own 4
                                   "        'from T')",
                                   "  Left = 8",
                                   "  object Query1ID: TIntegerField",
                                   "    FieldName = 'ID'",
                                   "  end",
                                   "  object Query1NAME: TStringField",
                                   "    Size = 30",
                                   "  end",
                                   "end",
                                   "",
                               }));
}

TEST(FormParserObject, LayoutAtLevelOneAndKeywordAsSpelled)
{
    TRecordingParser P;
    ASSERT_TRUE(parses(P, crlf({"INHERITED Db: TDatabase", "    Params.Strings = (", "      'a'", "      'b')",
                                "  object X: TField", "  end", "END"})));
    // NewClassName empty: the class stays as written.
    EXPECT_EQ(P.MakeObject(1), crlf({
                                   "  INHERITED Db: TDatabase",
                                   "    Params.Strings = (",
                                   "            'a'",   // 4 + 2 + the line's own 6
                                   "            'b')",
                                   "  object X: TField",
                                   "  end",
                                   "  end",
                                   "",
                               }));
}

TEST(FormParserObject, ConvertPropertyGetsValueTextsExactlyAsWritten)
{
    struct Row { QString PropLine; QString Name; QString Value; };
    const Row Rows[] = {
        {"Left = 8", "Left", "8"},
        {"Tag=-12", "Tag", "-12"},
        {"Scale = 1.5e-3", "Scale", "1.5e-3"},
        {"Date = 36526d", "Date", "36526d"},
        {"Active = True", "Active", "True"},
        {"Caption = 'It''s'", "Caption", "'It''s'"},
        {"Caption = #1055#1088'x'", "Caption", "#1055#1088'x'"},
        {"Caption = ''", "Caption", "''"},
        {"DataSource = Module1.Source1", "DataSource", "Module1.Source1"},
        {"Font.Style = [fsBold, fsItalic]", "Font.Style", "[fsBold, fsItalic]"},
        {"Options = []", "Options", "[]"},
        {"Data = {\r\n    0A0B\r\n    0C}", "Data", "{\r\n    0A0B\r\n    0C}"},
        {"Data = {}", "Data", "{}"},
        {"Widths = (1 2 3)", "Widths", "(1 2 3)"},
        {"Items = <>", "Items", "<>"},
        {"Items = <\r\n    item\r\n      Name = 'A'\r\n    end>", "Items", "<\r\n    item\r\n      Name = 'A'\r\n    end>"},
        // Joined strings: the value text starts right after "=".
        {"Hint = 'abc' + 'def'", "Hint", " 'abc' + 'def'"},
        {"Hint =\r\n    'abc' +\r\n    'def'", "Hint", "\r\n    'abc' +\r\n    'def'"},
    };
    for (const Row &R : Rows) {
        TRecordingParser P;
        const QString Text = crlf({"object A: TB", "  " + R.PropLine, "end"});
        ASSERT_TRUE(parses(P, Text)) << R.PropLine.toStdString();
        ASSERT_FALSE(P.Calls.isEmpty());
        EXPECT_EQ(P.Calls.last().first, R.Name) << R.PropLine.toStdString();
        EXPECT_EQ(P.Calls.last().second, R.Value) << R.PropLine.toStdString();
    }
}

TEST(FormParserObject, MultiLineValueIsWrittenWithItsOwnIndentationKept)
{
    TRecordingParser P;
    ASSERT_TRUE(parses(P, crlf({"object A: TB", "  Hint =", "    'abc' +", "    'def'", "end"})));
    EXPECT_EQ(P.MakeObject(0), crlf({"object A: TB", "  Hint = ", "        'abc' +", "        'def'", "end", ""}));
}

TEST(FormParserObject, RecognisedAndRejectedObjects)
{
    struct Row { QString Text; bool Recognised; };
    const Row Rows[] = {
        {"object A: TB\r\nend", true},                 // nothing after "end"
        {"ObJeCt A : TB\r\n  X=1\r\nEnD\r\n", true},  // any letter case, blanks around ":"
        {"inline A:TB\r\nend", true},
        {"object A: TB\r\n  X = $FF\r\nend", false},
        {"object A: TB\r\n  X = A.B.C\r\nend", false},
        {"object A: Unit1.TB\r\nend", false},
        {"object A: TB [0]\r\nend", true},
        {"inherited A: TB[ -2 ]\r\nend", true},
        {"object A: TB [x]\r\nend", false},
        {"object A: TB\r\n  Items = <\r\n    item\r\n    end>\r\nend", false},
        {QString::fromUtf8("object A: TB\r\n  Caption = '\xD0\x96'\r\nend"), false},
        {QString::fromUtf8("object \xD0\x96: TB\r\nend"), false},
        {"object A: TB\r\n  X = 1", false},
        {"", false},
    };
    for (const Row &R : Rows) {
        TRecordingParser P;
        int Pos = 1;
        EXPECT_EQ(P.ParseString(R.Text, "<object>", Pos), R.Recognised) << R.Text.toStdString();
        if (!R.Recognised) {
            EXPECT_EQ(Pos, 1);
        }
    }
}

TEST(FormParserNested, TextStartsAtIndentationAndEndsAtEnd)
{
    TRecordingParser P;
    ASSERT_TRUE(parses(P, "object A: TB\r\n  \t  object C: TD\r\n      X = 1\r\n    end  \r\n  object E: TF end\r\nend"));
    // A tab stops the search for the indentation.
    EXPECT_EQ(P.NestedObjects(),
              QStringList({"  object C: TD\r\n      X = 1\r\n    end", "  object E: TF end"}));
    EXPECT_TRUE(P.Calls.isEmpty());   // properties of nested objects are not converted
}

TEST(FormParserNested, CollectionsAndNestedPropertiesNeverReachConvertProperty)
{
    TRecordingParser P;
    ASSERT_TRUE(parses(P, crlf({"object A: TB", "  Cols = <", "    item", "      Width = 3", "    end", "    item",
                                "      Width = 4", "    end>", "  object C: TD", "    Y = 2", "  end", "end"})));
    ASSERT_EQ(P.Props().size(), 1);
    EXPECT_EQ(P.Props()[0].Name, "Cols");
    for (const auto &Call : P.Calls)
        EXPECT_EQ(Call.first, "Cols");
}

TEST(FormParserNested, EqualNestedObjectsAreBothKept)
{
    TRecordingParser P;
    ASSERT_TRUE(parses(P, crlf({"object A: TB", "  object C: TD", "  end", "  object c: TD", "  end", "end"})));
    EXPECT_EQ(P.NestedObjects().size(), 2);
    EXPECT_EQ(P.FormState().ObjectCount(), 2);
}

TEST(FormParserRollback, AbandonedAttemptsLeaveNoOutput)
{
    TRecordingParser P;
    P.Copies = 2;   // a conversion may append several entries per property
    ASSERT_TRUE(parses(P, Query));
    // Backtracking hands the last property over more than once ...
    EXPECT_GT(P.Calls.size(), 3);
    // ... but exactly one call's output per property stays, in text order.
    EXPECT_EQ(names(P.Props()), QStringList({"DatabaseName", "DatabaseName", "SQL.Strings", "SQL.Strings", "Left",
                                             "Left"}));
    EXPECT_EQ(P.FormState().PropCount(), 6);
    EXPECT_EQ(P.NestedObjects().size(), 2);
}

TEST(FormParserRollback, FailedParseLeavesNothingBehind)
{
    TRecordingParser P;
    ASSERT_TRUE(parses(P, Query));
    ASSERT_FALSE(P.MakeObject(0).isEmpty());
    // The object fails only at its last line, after properties and a nested
    // object were recognised.
    const QString Broken = crlf({"object Q: TQuery", "  X = 1", "  object F: TField", "  end", "  Y = $1", "end"});
    int Pos = 1;
    EXPECT_FALSE(P.ParseString(Broken, "<object>", Pos));
    EXPECT_EQ(Pos, 1);
    EXPECT_TRUE(P.MakeObject(0).isEmpty());
    EXPECT_TRUE(P.Props().isEmpty());
    EXPECT_TRUE(P.NestedObjects().isEmpty());
    EXPECT_EQ(P.FormState().PropCount(), 0);
    EXPECT_EQ(P.FormState().ObjectCount(), 0);
    EXPECT_TRUE(P.FormState().TypeName().isEmpty());
}

TEST(FormParserRollback, NoConversionGivesHeaderNestedObjectsAndEnd)
{
    class TDroppingParser : public TFormParser
    {
    public:
        void ConvertProperty(const QString &, const QString &) override {}
    } P;
    ASSERT_TRUE(parses(P, crlf({"object A: TB", "  X = 1", "  object C: TD", "  end", "end"})));
    EXPECT_EQ(P.MakeObject(0), crlf({"object A: TB", "  object C: TD", "  end", "end", ""}));
}

namespace {

// Objects nested Depth levels deep, each with a property, a collection and a
// further nested object.
QString nestedObjects(int Depth)
{
    QString Text;
    for (int I = 0; I < Depth; ++I) {
        const QString In = QString(2 * I, ' ');
        Text += In + QStringLiteral("object O%1: TField\r\n").arg(I) + In + "  Tag = 1\r\n" + In +
                "  Items = <\r\n" + In + "    item\r\n" + In + "      Value = <\r\n" + In + "        item\r\n" + In +
                "          X = 1\r\n" + In + "        end>\r\n" + In + "    end>\r\n";
    }
    for (int I = Depth - 1; I >= 0; --I)
        Text += QString(2 * I, ' ') + "end\r\n";
    return Text;
}

} // namespace

TEST(FormParserDepth, DeepRealFormsParseAndHostileNestingFailsCleanly)
{
    TRecordingParser P;
    const QString Deep = nestedObjects(64);
    int Pos = 1;
    ASSERT_TRUE(P.ParseString(Deep, "<object>", Pos));
    EXPECT_EQ(Pos, Deep.size() + 1);
    EXPECT_EQ(P.NestedObjects().size(), 1);
    EXPECT_EQ(P.Calls.size(), 2);   // Tag and Items, each once: nothing after them to backtrack over

    QString Hostile;
    for (int I = 0; I < 100000; ++I)
        Hostile += "object A: B ";
    Hostile += QString("end ").repeated(100000);
    Pos = 1;
    EXPECT_FALSE(P.ParseString(Hostile, "<object>", Pos));
    EXPECT_EQ(Pos, 1);
    EXPECT_TRUE(P.MakeObject(0).isEmpty());
    // The parser is sound afterwards.
    EXPECT_TRUE(parses(P, Query));
}

TEST(FormParserMemo, AnswersFromMemoryChangeNothingObservable)
{
    const QString Texts[] = {Query, nestedObjects(6),
                             crlf({"object A: TB", "  object C: TD", "    Name = 'n'", "    object E: TF", "      Q = (",
                                   "        'x' +", "        'y')", "    end", "  end", "  Z = 1", "end"})};
    for (const QString &Text : Texts) {
        TRecordingParser With;
        TRecordingParser Without;
        Without.SetMemoEnabled(false);
        int PosWith = 1;
        int PosWithout = 1;
        ASSERT_TRUE(With.ParseString(Text, "<object>", PosWith));
        ASSERT_TRUE(Without.ParseString(Text, "<object>", PosWithout));
        EXPECT_EQ(PosWith, PosWithout);
        EXPECT_EQ(With.Calls, Without.Calls);
        EXPECT_EQ(With.MakeObject(0), Without.MakeObject(0));
    }
}

TEST(FormParseState, AssignCarriesGivenTextsAndRanges)
{
    TRecordingParser P(&MakeParseState<TFormParseState>);
    ASSERT_TRUE(parses(P, "object A: TB\r\nend"));
    TFormParseState &S = P.FormState();
    TFormParseState Saved(&P);
    Saved.Assign(S);
    S.SetName(QStringLiteral("Given"));
    TFormParseState Copy(&P);
    Copy.Assign(S);
    EXPECT_EQ(Copy.Name(), "Given");
    EXPECT_EQ(Copy.TypeName(), "TB");
    S.Assign(Saved);
    EXPECT_EQ(S.Name(), "A");
}

TEST(FormParserClassRef, FactoriesCreateTheChosenClasses)
{
    const TFormParserClass ParserClass = &MakeFormParser<TRecordingParser>;
    auto P = ParserClass(&MakeParseState<TFormParseState>);
    ASSERT_NE(dynamic_cast<TRecordingParser *>(P.get()), nullptr);
    EXPECT_TRUE(parses(*P, "object A: TB\r\n  X = 1\r\nend"));
    // "<prop><properties>", then "<prop>"; and all of it again, because with no
    // delimiter after "end" the object's first way with properties fails.
    EXPECT_EQ(static_cast<TRecordingParser &>(*P).Calls.size(), 4);
    EXPECT_THROW(TFormParser(&MakeParseState<TParseState>), EAssertionFailed);
}
