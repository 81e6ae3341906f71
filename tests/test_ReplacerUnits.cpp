// Replace pairs and the rewriting of Pascal units and project files: what
// changes, what stays byte for byte, and which form files a unit names.
#include "Replacer.h"

#include "Errors.h"
#include "FileSystem.h"

#include "TextCodec.h"

#include "QtPrinters.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A BDE-like replacer whose log goes to a file of the fixture's folder.
class ReplacerUnits : public ::testing::Test
{
protected:
    ReplacerUnits()
        : Options(QStringLiteral("BDE/IBX/FibPlus")),
          Replacer(nullptr, QStringLiteral("DBTables"), QStringLiteral(", Quorvel, Orx"), &Options)
    {
        Replacer.AddReplacePair(QStringLiteral("TDatabase"), QStringLiteral("TOrxConnection"));
        Replacer.AddReplacePair(QStringLiteral("TQuery"), QStringLiteral("TOrxQuery"));
        Replacer.AddReplacePair(QStringLiteral("TTable"), QStringLiteral("TOrxTable"));
    }

    // Rewrites Text (encoded as Encoding) and returns the output file's
    // bytes, empty when no output file was left; LogLine gets the count line.
    QByteArray Rewrite(const QByteArray &Bytes, QString *LogLine = nullptr, const QString &UnitName = QStringLiteral("Main.pas"))
    {
        const QString Unit = Dir.filePath(UnitName);
        WriteBytes(Unit, Bytes);
        const QString Out = Dir.filePath(QStringLiteral("out.pas"));
        QFile::remove(Out);
        const QString LogPath = Dir.filePath(QStringLiteral("log.txt"));
        Replacer.Log().SetHeader(QString());
        Replacer.Log().SetEmptyLineAfterString(false);
        Replacer.Log().OpenLogFile(LogPath);
        QFile In(Unit);
        EXPECT_TRUE(In.open(QIODevice::ReadOnly));
        QString Text;
        TTextEncoding Enc;
        TComponentReplacer::ReadSourceText(In, Text, Enc);
        Replacer.RewriteUnit(Text, Unit, Enc, Out);
        Replacer.Log().CloseLogFile();
        if (LogLine)
            *LogLine = QString::fromLatin1(ReadBytes(LogPath).split('\n').value(1)).trimmed();
        return ReadBytes(Out);
    }

    QString RewriteText(const QString &Text, QString *LogLine = nullptr)
    {
        const QByteArray Out = Rewrite(TextCodec::EncodeAnsi(Text), LogLine);
        return Out.isEmpty() ? Text : TextCodec::DecodeAnsi(Out);
    }

    QTemporaryDir Dir;
    TReplaceOptions Options;
    TComponentReplacer Replacer;
};

} // namespace

TEST_F(ReplacerUnits, PairLookupIgnoresCaseAndKeepsTheFirstPair)
{
    Replacer.AddReplacePair(QStringLiteral("tquery"), QStringLiteral("TOrxTable"));
    for (const char *Name : {"TQuery", "tquery", "TQUERY"})
        EXPECT_EQ(Replacer.TranslateName(QString::fromLatin1(Name)), QStringLiteral("TOrxQuery")) << Name;
    EXPECT_EQ(Replacer.TranslateName(QStringLiteral("Form1")), QStringLiteral("Form1"));
    Replacer.ClearPairs();
    EXPECT_EQ(Replacer.TranslateName(QStringLiteral("TQuery")), QStringLiteral("TQuery"));
    Replacer.AddReplacePair(QStringLiteral("TQuery"), QStringLiteral("TX"));
    EXPECT_EQ(Replacer.TranslateName(QStringLiteral("tQuery")), QStringLiteral("TX"));
    const QString Long(70, u'L');
    Replacer.AddReplacePair(Long, QStringLiteral("TShort"));
    EXPECT_EQ(Replacer.TranslateName(Long.toLower()), QStringLiteral("TShort"));
}

TEST_F(ReplacerUnits, RewritesClassesUsesClausesAndComments)
{
    struct Row
    {
        const char *Input;
        const char *Expected;
        const char *Log;
    };
    const Row Rows[] = {
        {"uses Windows, DBTables;\r\nvar Q: TQuery;", "uses Windows, DBTables, Quorvel, Orx;\r\nvar Q: TOrxQuery;", "2 change(s)"},
        {"uses dbtables;", "uses dbtables, Quorvel, Orx;", "1 change(s)"},
        {"uses DB,\r\n  DBTables { BDE } , Forms;", "uses DB,\r\n  DBTables, Quorvel, Orx { BDE } , Forms;", "1 change(s)"},
        // Outside a uses clause the unit name is not extended.
        {"X := DBTables.TQuery.Create(nil);", "X := DBTables.TOrxQuery.Create(nil);", "1 change(s)"},
        {"uses A; var T: DBTables;", "uses A; var T: DBTables;", "No changes"},
        {"S := 'TQuery';", "S := 'TQuery';", "No changes"},
        {"{ TQuery here }", "{ TOrxQuery here }", "1 change(s)"},
        {"// a TTable, a tquery\r\n", "// a TOrxTable, a TOrxQuery\r\n", "2 change(s)"},
        {"(* TQuery *)", "(* TOrxQuery *)", "1 change(s)"},
        // Comments among the code, each in its place.
        {"var A: TQuery; { TTable } B: TTable; // TQuery", "var A: TOrxQuery; { TOrxTable } B: TOrxTable; // TOrxQuery",
         "4 change(s)"},
        {"var A: tquery; B: TQUERY;", "var A: TOrxQuery; B: TOrxQuery;", "2 change(s)"},
        {"unit Util;\r\nend.", "unit Util;\r\nend.", "No changes"},
    };
    for (const Row &R : Rows) {
        QString Log;
        EXPECT_EQ(RewriteText(QString::fromLatin1(R.Input), &Log), QString::fromLatin1(R.Expected)) << R.Input;
        EXPECT_EQ(Log, QString::fromLatin1(R.Log)) << R.Input;
    }
}

TEST_F(ReplacerUnits, UnchangedUnitLeavesNoOutputFile)
{
    QString Log;
    EXPECT_TRUE(Rewrite("unit Util;\r\ninterface\r\nend.\r\n", &Log).isEmpty());
    EXPECT_EQ(Log, QStringLiteral("No changes"));
    EXPECT_EQ(Replacer.ChangedFilesCount(), 0);

    // A replacement that yields the text that was there counts, but writes
    // nothing.
    Replacer.AddReplacePair(QStringLiteral("TSame"), QStringLiteral("TSame"));
    EXPECT_TRUE(Rewrite("var X: TSame;", &Log).isEmpty());
    EXPECT_EQ(Log, QStringLiteral("1 change(s)"));
    EXPECT_EQ(Replacer.ChangedFilesCount(), 0);

    EXPECT_FALSE(Rewrite("var X: TQuery;", &Log).isEmpty());
    EXPECT_EQ(Replacer.ChangedFilesCount(), 1);
}

TEST_F(ReplacerUnits, CommentsGetTheNewNameNotTheReplacementText)
{
    class Decorating : public TComponentReplacer
    {
    public:
        using TComponentReplacer::TComponentReplacer;
        QString GetReplacementText(const QString &, const QString &NewName) const override { return NewName + u'!'; }
    };
    Decorating R(nullptr, QStringLiteral("DBTables"), QString(), &Options);
    R.AddReplacePair(QStringLiteral("TQuery"), QStringLiteral("TOrxQuery"));
    const QString Unit = Dir.filePath(QStringLiteral("D.pas"));
    const QString Out = Dir.filePath(QStringLiteral("d-out.pas"));
    R.RewriteUnit(QStringLiteral("Q: TQuery; { TQuery }"), Unit, TTextEncoding::Ansi(), Out);
    EXPECT_EQ(ReadBytes(Out), QByteArray("Q: TOrxQuery!; { TOrxQuery }"));
}

TEST_F(ReplacerUnits, EveryUnchangedByteStaysInEachEncoding)
{
    const QString Text = QString::fromUtf8("unit Ü;\n{ Кириллица, café }\r\nvar Q: TQuery; // ещё\n\rend.");
    const QString Expected = QString::fromUtf8("unit Ü;\n{ Кириллица, café }\r\nvar Q: TOrxQuery; // ещё\n\rend.");
    const QByteArray Utf16 = QByteArray("\xFF\xFE", 2) + TextCodec::EncodeUtf16LE(Text);
    EXPECT_EQ(Rewrite(Utf16), QByteArray("\xFF\xFE", 2) + TextCodec::EncodeUtf16LE(Expected));
    const QByteArray Utf8 = QByteArray("\xEF\xBB\xBF") + TextCodec::EncodeUtf8(Text);
    EXPECT_EQ(Rewrite(Utf8), QByteArray("\xEF\xBB\xBF") + TextCodec::EncodeUtf8(Expected));

    const QString Old = TextCodec::AnsiCodePage();
    for (const char *Page : {"windows-1251", "windows-1252"}) {
        ASSERT_TRUE(TextCodec::SetAnsiCodePage(QString::fromLatin1(Page)));
        // Raw bytes, undefined ones included (0x98 in 1251, 0x81 in 1252).
        const QByteArray Ansi("// \xCF\xF0\xE8\xE2\xE5\xF2 \x98\x81\xFF\r\nQ: TQuery;\n");
        EXPECT_EQ(Rewrite(Ansi), QByteArray("// \xCF\xF0\xE8\xE2\xE5\xF2 \x98\x81\xFF\r\nQ: TOrxQuery;\n")) << Page;
    }
    TextCodec::SetAnsiCodePage(Old);

    // Invalid UTF-8 after a byte-order mark is carried through.
    const QByteArray Broken("\xEF\xBB\xBFQ: TQuery; // \xC3\x28 \xFF\r\n");
    EXPECT_EQ(Rewrite(Broken), QByteArray("\xEF\xBB\xBFQ: TOrxQuery; // \xC3\x28 \xFF\r\n"));
}

TEST_F(ReplacerUnits, ResourceDirectivesNameFormFiles)
{
    // On disk: Main.dfm (lower case), Other.dfm, Form2.dfm.
    for (const char *Name : {"Main.dfm", "Other.dfm", "Form2.dfm", "Main.res"})
        WriteBytes(Dir.filePath(QString::fromLatin1(Name)), "object X: TForm end");
    const QString Unit = Dir.filePath(QStringLiteral("Main.pas"));
    struct Row
    {
        const char *Comment;
        const char *FormFile; // in the fixture's folder, or nullptr
    };
    const Row Rows[] = {
        {"{$R *.dfm}", "Main.dfm"}, // "Main.DFM" resolved to the real name
        {"{$R *.DFM}", "Main.dfm"},
        {"{$RESOURCE *.dfm}", "Main.dfm"},
        {"{$r *.dfm}", "Main.dfm"},
        {"{$R *.res}", nullptr},
        {"{$R-}", nullptr},
        {"{$R+}", nullptr},
        {"{$R Other.dfm}", "Other.dfm"},
        {"{$R Form2.dfm}", nullptr}, // no letters right before the dot
        {"{$R*.dfm}", nullptr},
        {"{$R *.dfmx}", nullptr},
        {"{$R Missing.dfm}", nullptr},
    };
    for (const Row &R : Rows) {
        Replacer.UnitList().clear();
        Rewrite(TextCodec::EncodeAnsi(QString::fromLatin1(R.Comment)), nullptr, QStringLiteral("Main.pas"));
        if (R.FormFile)
            EXPECT_EQ(FileNameKeys(Replacer.UnitList()), FileNameKeys({Dir.filePath(QString::fromLatin1(R.FormFile))})) << R.Comment;
        else
            EXPECT_TRUE(Replacer.UnitList().isEmpty()) << R.Comment;
    }
    EXPECT_EQ(FileNameKey(TComponentReplacer::FormFileOfDirective(QStringLiteral("{$R *.nfm}"), Unit)),
              FileNameKey(Dir.filePath(QStringLiteral("Main.NFM"))));
    EXPECT_EQ(FileNameKey(Replacer.FindFileIgnoringCase(Dir.filePath(QStringLiteral("OTHER.DFM")))),
              FileNameKey(Dir.filePath(QStringLiteral("Other.dfm"))));
    EXPECT_EQ(Replacer.FindFileIgnoringCase(Dir.filePath(QStringLiteral("None.dfm"))), QString());
    if (!FileNamesAreCaseSensitive())
        return;
    // Two spellings: the one whose name is spelled as asked; none such is an
    // error, never a guess.
    for (const char *Name : {"two.dfm", "Two.dfm", "tWO.dfm"})
        WriteBytes(Dir.filePath(QString::fromLatin1(Name)), "object A: TA\r\nend\r\n");
    TComponentReplacer Fresh(nullptr, QStringLiteral("DBTables"), QString(), &Options);
    EXPECT_EQ(Fresh.FindFileIgnoringCase(Dir.filePath(QStringLiteral("Two.DFM"))), Dir.filePath(QStringLiteral("Two.dfm")));
    EXPECT_THROW(Fresh.FindFileIgnoringCase(Dir.filePath(QStringLiteral("TWO.DFM"))), EFileError);
}
