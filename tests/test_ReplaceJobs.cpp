// A run on several threads leaves exactly what a run on one thread leaves:
// the converted tree, backups, undo file and run record, log and report, and
// after an error the same message and the same state.
#include "ComponentStream.h"
#include "Errors.h"
#include "FileUtils.h"
#include "OrxReplacer.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <map>

namespace {

constexpr int UnitCount = 80;

QByteArray BinaryForm(const QString &Name, const QString &Text)
{
    return TComponentReplacer::MakeBinaryFormFile(Name.toUpper().toLatin1(), ObjectTextToBinary(Text));
}

// Units in five folders, most with a form (every fourth binary), some with
// nothing to convert, some declaring two databases, forms with databases,
// queries and nested objects.
void MakeTree(const QString &Root, int CorruptForm)
{
    for (int I = 0; I < UnitCount; ++I) {
        const QString Folder = Root + QStringLiteral("/M%1").arg(I % 5);
        QDir().mkpath(Folder);
        const QString Name = QStringLiteral("U%1").arg(I);
        const bool HasForm = I % 7 != 3;
        QString Unit = QStringLiteral("unit %1;\r\ninterface\r\nuses Forms, %2;\r\ntype\r\n  T%1 = class(TForm)\r\n")
                           .arg(Name, I % 6 == 0 ? QStringLiteral("Classes") : QStringLiteral("DBTables"));
        if (I % 6 != 0)
            Unit += QStringLiteral("    Query1: TQuery;\r\n    Database1: TDatabase;\r\n");
        if (I % 4 == 1)
            Unit += QStringLiteral("    Database2: TDatabase;\r\n");
        Unit += QStringLiteral("  end;\r\nimplementation\r\n");
        if (HasForm)
            Unit += I % 2 ? QStringLiteral("{$R *.dfm}\r\n") : QStringLiteral("{$R *.DFM}\r\n");
        Unit += QStringLiteral("end.\r\n");
        WriteBytes(Folder + u'/' + Name + QStringLiteral(".pas"), Unit.toLatin1());
        if (!HasForm)
            continue;
        const QString Form =
            QStringLiteral("object %1: T%1\r\n  Caption = 'Form %2'\r\n"
                           "  object Database1: TDatabase\r\n    DatabaseName = 'DB%3'\r\n  end\r\n"
                           "  object Query1: TQuery\r\n    DatabaseName = 'DB%4'\r\n    SQL.Strings = (\r\n"
                           "      'select * from T%2')\r\n    RequestLive = True\r\n"
                           "    object Query1ID: TIntegerField\r\n      FieldName = 'ID'\r\n    end\r\n  end\r\nend\r\n")
                .arg(Name)
                .arg(I)
                .arg(I % 9)
                .arg((I * 5) % 11);
        QByteArray Bytes = I % 4 == 0 ? BinaryForm(Name, Form) : Form.toLatin1();
        if (I == CorruptForm) {
            const QByteArray Stream = ObjectTextToBinary(Form);
            Bytes = TComponentReplacer::MakeBinaryFormFile(Name.toUpper().toLatin1(), Stream.left(Stream.size() / 2));
        }
        WriteBytes(Folder + u'/' + Name + QStringLiteral(".dfm"), Bytes);
    }
}

// Every file below Root with Root in its contents replaced by "<root>"; the
// log without its creation time.
std::map<QString, QByteArray> ReadTree(const QString &Root)
{
    std::map<QString, QByteArray> Files;
    QDirIterator It(Root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (It.hasNext()) {
        const QString Path = It.next();
        QByteArray Bytes = ReadBytes(Path);
        Bytes.replace(Root.toLocal8Bit(), "<root>");
        if (Path.endsWith(QLatin1String("Wiz_Log.txt"))) {
            const qsizetype At = Bytes.indexOf("Created at:");
            if (At >= 0)
                Bytes.remove(At, Bytes.indexOf('\n', At) - At);
        }
        Files[QDir(Root).relativeFilePath(Path)] = Bytes;
    }
    return Files;
}

struct TOutcome
{
    bool Result = false;
    QString Error;
    std::map<QString, QByteArray> Files;
};

TOutcome RunReplace(const QString &Root, int Jobs, int CorruptForm)
{
    MakeTree(Root, CorruptForm);
    TOrxProduct Product;
    TReplaceOptions &Options = Product.ReplaceOptions();
    Options.Dest = sdDirectory;
    Options.Directory = Root;
    Options.IncludeSubDirs = true;
    Options.MakeBackup = true;
    Options.BackupDir = Root + QStringLiteral("/RBackup");
    Options.WriteLog = true;
    Options.Jobs = Jobs;
    TOutcome Outcome;
    try {
        Outcome.Result = Product.Replacer(TOrxProduct::BdePosition)->PerformReplace();
    } catch (const EMigError &E) {
        Outcome.Error = QString(E.Message()).replace(Root, QStringLiteral("<root>"));
    }
    Outcome.Files = ReadTree(Root);
    return Outcome;
}

} // namespace

TEST(ReplaceJobs, FourThreadsLeaveWhatOneThreadLeavesAlsoAfterAnError)
{
    const quint32 Seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE(testing::Message() << "seed " << Seed);
    QRandomGenerator Rng(Seed);
    int Corrupt = int(Rng.bounded(UnitCount));
    while (Corrupt % 4 != 0 || Corrupt % 7 == 3)
        Corrupt = (Corrupt + 1) % UnitCount; // a unit with a binary form
    for (const int CorruptForm : {-1, Corrupt}) {
        SCOPED_TRACE(testing::Message() << "corrupt form of unit " << CorruptForm);
        QTemporaryDir One, Four;
        // Native roots, as the run writes them in messages and files.
        const TOutcome A = RunReplace(NativePath(One.path()), 1, CorruptForm);
        const TOutcome B = RunReplace(NativePath(Four.path()), 4, CorruptForm);
        EXPECT_EQ(A.Result, B.Result);
        EXPECT_EQ(A.Error, B.Error);
        EXPECT_EQ(CorruptForm < 0, A.Error.isEmpty()) << A.Error.toStdString();
        ASSERT_EQ(A.Files.size(), B.Files.size());
        for (const auto &[Path, Bytes] : A.Files) {
            const auto It = B.Files.find(Path);
            ASSERT_NE(It, B.Files.end()) << Path.toStdString();
            EXPECT_EQ(Bytes, It->second) << Path.toStdString();
        }
        if (CorruptForm < 0) {
            // The tree was converted, with backups and report items.
            EXPECT_TRUE(A.Result);
            EXPECT_TRUE(A.Files.count(QStringLiteral("RBackup/RExpert.reu")));
            EXPECT_TRUE(A.Files.at(QStringLiteral("M1/U1.pas")).contains("Transaction2: TOrxTransaction"));
            EXPECT_TRUE(A.Files.at(QStringLiteral("Wiz_Report.txt")).contains("U1"));
        } else {
            EXPECT_FALSE(A.Files.count(QStringLiteral("RBackup/RExpert.reu")));
        }
    }
}
