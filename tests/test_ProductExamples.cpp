// End-to-end conversion of the bundled example applications (examples/bde,
// examples/ibx, examples/fibplus): each is copied into a temporary folder and
// converted by migwiz in project mode with backup and log, and every file is compared
// with its expected version under tests/data/examples-expected, made by hand
// from the replacement tables and the property rules. A file without an
// expected version must come out unchanged.
#include "Cli.h"
#include "ComponentStream.h"
#include "OrxReplacer.h"
#include "TestFiles.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QMap>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <ostream>

namespace {

const QString ExamplesDir = QStringLiteral(MIGWIZ_SOURCE_DIR "/examples");
const QString ExpectedDir = QStringLiteral(MIGWIZ_TEST_DATA "/examples-expected");
const QString SourcesDir = QStringLiteral(MIGWIZ_TEST_DATA "/example-sources");

// The component stream of a binary form, after checking its header.
QByteArray streamOfBinaryForm(const QByteArray &Bytes, const QByteArray &ResourceName)
{
    const QByteArray Header = QByteArray("\xFF\x0A\x00", 3) + ResourceName + QByteArray("\0\x30\x10", 3);
    EXPECT_TRUE(Bytes.startsWith(Header));
    const qsizetype SizePos = Header.size();
    quint32 Size = 0;
    for (int I = 3; I >= 0; --I)
        Size = (Size << 8) | quint8(Bytes.at(SizePos + I));
    EXPECT_EQ(qsizetype(Size), Bytes.size() - SizePos - 4);
    return Bytes.mid(SizePos + 4);
}

struct TExampleForm
{
    const char *Example;
    const char *FileName;
    const char *ResourceName;
};

// The binary forms among the examples, made from their text under
// tests/data/example-sources by our own ObjectTextToBinary.
const TExampleForm BinaryForms[] = {{"bde", "Orders.dfm", "TORDERSFORM"}};

struct TExample
{
    const char *Name;
    const char *SourceSet;
    const char *Project;
    QStringList Units;
    // The log of the run: file name and change count line, in order.
    QList<QPair<QString, QString>> Processed;
};

const TExample Examples[] = {
    {"bde", "bde", "Sales.dpr", {"SalesData.pas", "Main.pas", "Orders.pas", "Cities.pas"},
     {{"SalesData.pas", "11 change(s)"}, {"Main.pas", "2 change(s)"}, {"Orders.pas", "4 change(s)"},
      {"Cities.pas", "2 change(s)"}, {"SalesData.dfm", "7 change(s)"}, {"Main.dfm", "1 change(s)"},
      {"Orders.dfm", "1 change(s)"}, {"Cities.dfm", "1 change(s)"}}},
    {"ibx", "ibx", "Inventory.dpr", {"InvData.pas", "StockMain.pas", "Movements.pas"},
     {{"InvData.pas", "7 change(s)"}, {"StockMain.pas", "2 change(s)"}, {"Movements.pas", "2 change(s)"},
      {"InvData.dfm", "6 change(s)"}, {"StockMain.dfm", "1 change(s)"}, {"Movements.dfm", "1 change(s)"}}},
    {"fibplus", "fibplus", "Accounts.dpr", {"AccData.pas", "AdminTools.pas", "BaseForm.pas", "Ledger.pas"},
     {{"AccData.pas", "10 change(s)"}, {"AdminTools.pas", "5 change(s)"}, {"BaseForm.pas", "3 change(s)"},
      {"Ledger.pas", "2 change(s)"}, {"AccData.dfm", "8 change(s)"}, {"AdminTools.dfm", "4 change(s)"},
      {"BaseForm.dfm", "2 change(s)"}, {"Ledger.dfm", "2 change(s)"}}},
};

// The Orvex unit that declares each class a converted unit may name.
QString orvexUnitOf(const QString &Class)
{
    static const QMap<QString, QString> Units = {
        {"TOrxConnection", "Orx"},       {"TOrxTransaction", "Orx"},      {"TOrxQuery", "Orx"},
        {"TOrxTable", "Orx"},            {"TOrxStoredProc", "Orx"},       {"TOrxSQL", "Orx"},
        {"TOrxUpdateSQL", "Orx"},        {"TOrxScript", "OrxScript"},     {"TOrxAlerter", "OrxAlerter"},
        {"TOrxSQLMonitor", "OrxSQLMonitor"}, {"EOrxError", "OrxError"},
    };
    return Units.value(Class, Class.startsWith(QLatin1String("TOrx")) ? QStringLiteral("OrxAdmin") : QString());
}

// Checks, the way a compiler would complain first, that the uses clauses of
// a unit name the unit of every Orvex class its code names. Comments and
// strings are left out; a clause entry is its unit name.
std::string undeclaredOrvexClasses(QString Text)
{
    Text.remove(QRegularExpression(QStringLiteral("\\{[^}]*\\}|'[^']*'|//[^\n]*")));
    QSet<QString> Used;
    const QRegularExpression Clause(QStringLiteral("\\buses\\b([^;]*);"),
                                    QRegularExpression::CaseInsensitiveOption);
    for (auto It = Clause.globalMatch(Text); It.hasNext();)
        for (const QString &Entry : It.next().captured(1).split(u','))
            Used.insert(Entry.trimmed().section(QRegularExpression(QStringLiteral("\\s")), 0, 0).toLower());
    QStringList Missing;
    const QRegularExpression Class(QStringLiteral("\\b[TE]Orx\\w+"));
    for (auto It = Class.globalMatch(Text); It.hasNext();) {
        const QString Name = It.next().captured();
        const QString Unit = orvexUnitOf(Name);
        if (!Unit.isEmpty() && !Used.contains(Unit.toLower()) && !Missing.contains(Name))
            Missing << Name + QStringLiteral(" (") + Unit + u')';
    }
    return Missing.join(QStringLiteral(", ")).toStdString();
}

// Empty when the texts are equal; otherwise the first line that differs,
// with its number, as both texts have it.
std::string firstDifference(const QString &Result, const QString &Expected)
{
    if (Result == Expected)
        return {};
    const QStringList A = Result.split(QStringLiteral("\n")), B = Expected.split(QStringLiteral("\n"));
    qsizetype I = 0;
    while (I < A.size() && I < B.size() && A[I] == B[I])
        ++I;
    auto show = [](const QStringList &Lines, qsizetype I) {
        return I < Lines.size() ? QString(Lines[I]).replace(u'\r', QStringLiteral("\\r")) : QStringLiteral("(end)");
    };
    return QStringLiteral("line %1:\n  result:   %2\n  expected: %3").arg(I + 1).arg(show(A, I), show(B, I)).toStdString();
}

// The log's messages without its header, date line and empty lines.
QStringList logMessages(const QString &Path)
{
    QStringList Lines = TextCodec::DecodeAnsi(ReadBytes(Path)).split(QStringLiteral("\r\n"));
    Lines.removeAll(QString());
    return Lines.mid(2);
}

class ProductExamples : public ::testing::TestWithParam<TExample>
{
protected:
    ProductExamples()
    {
        Tmp = Root.filePath(QStringLiteral("tmp"));
        QDir().mkpath(Tmp);
        TempScope.Set(Tmp);
    }

    // Copies the example into the temporary folder; returns its new folder.
    QString copyExample(const QString &Name)
    {
        const QString Target = Root.filePath(Name);
        QDir().mkpath(Target);
        for (const QString &File : QDir(ExamplesDir + u'/' + Name).entryList(QDir::Files))
            EXPECT_TRUE(QFile::copy(ExamplesDir + u'/' + Name + u'/' + File, Target + u'/' + File)) << File.toStdString();
        return Target;
    }

    QTemporaryDir Root;
    QString Tmp;
    TTempFolderScope TempScope{QString()};
};

void PrintTo(const TExample &Example, std::ostream *Out)
{
    *Out << Example.Name;
}

} // namespace

TEST(ProductExampleForms, BinaryFormsAreTheirTextSources)
{
    // MIGWIZ_WRITE_EXAMPLE_FORMS=1 (re)writes the binary forms from their text.
    const bool IsWriting = qEnvironmentVariableIntValue("MIGWIZ_WRITE_EXAMPLE_FORMS") == 1;
    for (const TExampleForm &Form : BinaryForms) {
        SCOPED_TRACE(Form.FileName);
        const QString Path = ExamplesDir + u'/' + Form.Example + u'/' + Form.FileName;
        const QString Text = TextCodec::DecodeAnsi(
            ReadBytes(SourcesDir + u'/' + Form.Example + u'/' + Form.FileName + QStringLiteral(".txt")));
        ASSERT_FALSE(Text.isEmpty());
        if (IsWriting)
            WriteBytes(Path, TComponentReplacer::MakeBinaryFormFile(Form.ResourceName, ObjectTextToBinary(Text)));
        const QByteArray Stream = streamOfBinaryForm(ReadBytes(Path), Form.ResourceName);
        EXPECT_EQ(ObjectBinaryToText(Stream), Text);
    }
}

TEST_P(ProductExamples, ConvertsTheWholeProject)
{
    const TExample &Example = GetParam();
    const QString Dir = copyExample(Example.Name);
    const QString Backup = Dir + QStringLiteral("/RBackup");
    QString OutText, ErrText;
    QTextStream Out(&OutText), Err(&ErrText);
    const int Status = runCli({QStringLiteral("replace"), QStringLiteral("--from"), QString::fromLatin1(Example.SourceSet),
                               QStringLiteral("--project"), Dir + u'/' + Example.Project, QStringLiteral("--units"),
                               Example.Units.join(u',')},
                              Out, Err);
    ASSERT_EQ(Status, 0) << ErrText.toStdString();
    EXPECT_TRUE(OutText.startsWith(QStringLiteral("Replace procedure was performed sucessfully.\n")))
        << OutText.toStdString();

    // Every file of the project: converted as expected, or untouched.
    const QString Original = ExamplesDir + u'/' + Example.Name;
    const QString Expected = ExpectedDir + u'/' + Example.Name;
    QStringList Changed;
    for (const QString &File : QDir(Original).entryList(QDir::Files)) {
        SCOPED_TRACE(File.toStdString());
        const QByteArray Result = ReadBytes(Dir + u'/' + File);
        const auto Binary = std::find_if(std::begin(BinaryForms), std::end(BinaryForms), [&](const TExampleForm &F) {
            return File == QLatin1String(F.FileName) && Example.Name == QLatin1String(F.Example);
        });
        if (Binary != std::end(BinaryForms)) {
            // A binary form stays binary, under its resource name; its
            // content is compared as text.
            EXPECT_EQ(firstDifference(ObjectBinaryToText(streamOfBinaryForm(Result, Binary->ResourceName)),
                                      TextCodec::DecodeAnsi(ReadBytes(Expected + u'/' + File + QStringLiteral(".txt")))),
                      "");
            Changed << File;
        } else if (QFile::exists(Expected + u'/' + File)) {
            EXPECT_EQ(firstDifference(QString::fromLatin1(Result), QString::fromLatin1(ReadBytes(Expected + u'/' + File))),
                      "");
            Changed << File;
        } else {
            EXPECT_EQ(Result, ReadBytes(Original + u'/' + File));
        }
    }

    // Each changed original is backed up and listed in the undo file, in
    // the order of conversion.
    QString Undo;
    QStringList Log{"Initializing unit list", "Creating backup folder", "Allocating temporary folder"};
    for (const auto &[File, Changes] : Example.Processed) {
        const QString Path = QDir::toNativeSeparators(Dir + u'/' + File);
        const QString BackupName = File.section(u'.', 0, 0) + QStringLiteral(".~") + File.section(u'.', 1);
        EXPECT_EQ(ReadBytes(Backup + u'/' + BackupName), ReadBytes(Original + u'/' + File)) << BackupName.toStdString();
        Undo += Path + u'=' + QDir::toNativeSeparators(Backup + u'/' + BackupName) + QStringLiteral("\r\n");
        Log << QStringLiteral("Processing file: ") + Path << Changes;
        EXPECT_TRUE(Changed.contains(File)) << File.toStdString();
    }
    EXPECT_EQ(Changed.size(), Example.Processed.size());

    // Every converted unit compiles as far as its uses clauses go.
    for (const QString &File : QDir(Dir).entryList({QStringLiteral("*.pas")}, QDir::Files)) {
        SCOPED_TRACE(File.toStdString());
        EXPECT_EQ(undeclaredOrvexClasses(TextCodec::DecodeAnsi(ReadBytes(Dir + u'/' + File))), "");
    }
    // The report of work left, as derived from the rules.
    EXPECT_EQ(firstDifference(TextCodec::DecodeAnsi(ReadBytes(Dir + QStringLiteral("/Wiz_Report.txt"))),
                              TextCodec::DecodeAnsi(ReadBytes(Expected + QStringLiteral("/Wiz_Report.txt")))),
              "");
    EXPECT_EQ(TextCodec::DecodeAnsi(ReadBytes(Backup + QStringLiteral("/RExpert.reu"))), Undo);
    Log << "Replacing original files with changed versions"
        << QStringLiteral("Backup file: ") + QDir::toNativeSeparators(Backup + QStringLiteral("/RExpert.reu"))
        << "Removing temporary folder"
        << "Replace procedure was performed sucessfully.";
    EXPECT_EQ(logMessages(Dir + QStringLiteral("/Wiz_Log.txt")), Log);
    EXPECT_TRUE(QDir(Tmp).isEmpty());
    // MIGWIZ_KEEP_EXAMPLES=DIR keeps the converted project there, for a look.
    if (const QString Keep = qEnvironmentVariable("MIGWIZ_KEEP_EXAMPLES"); !Keep.isEmpty()) {
        QDir().mkpath(Keep + u'/' + Example.Name);
        for (const QString &File : QDir(Dir).entryList(QDir::Files))
            QFile::copy(Dir + u'/' + File, Keep + u'/' + Example.Name + u'/' + File);
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ProductExamples, ::testing::ValuesIn(Examples),
                         [](const ::testing::TestParamInfo<TExample> &Info) { return std::string(Info.param.Name); });

TEST(ProductExampleScan, FindsOrvexClassesThatNoUsesClauseDeclares)
{
    EXPECT_EQ(undeclaredOrvexClasses("uses DB, IBQuery;\r\nvar Q: TOrxQuery; { TOrxScript }"), "TOrxQuery (Orx)");
    EXPECT_EQ(undeclaredOrvexClasses("uses Orx in '..\\Orx.pas', OrxAdmin;\r\nvar Q: TOrxQuery; B: TOrxBackupService;"), "");
}
