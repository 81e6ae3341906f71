// Form file rewriting: text forms in their encodings, binary forms with their
// resource header, the layout around re-created objects, objects the form
// parser refuses, and the pre-scan of database names.
#include "Replacer.h"

#include "ComponentStream.h"
#include "Errors.h"
#include "TextCodec.h"

#include "QtPrinters.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray BinaryForm(const QByteArray &Name, const QString &Text)
{
    return TComponentReplacer::MakeBinaryFormFile(Name, ObjectTextToBinary(Text));
}

// The replacer's own form parser keeps every property as it is (no product
// rules), so the expected texts show the layout and the class change alone.
class ReplacerForms : public ::testing::Test
{
protected:
    ReplacerForms()
        : Options(QStringLiteral("BDE/IBX/FibPlus")),
          Replacer(nullptr, QStringLiteral("DBTables"), QString(), &Options)
    {
        Replacer.AddReplacePair(QStringLiteral("TDatabase"), QStringLiteral("TOrxConnection"));
        Replacer.AddReplacePair(QStringLiteral("TQuery"), QStringLiteral("TOrxQuery"));
    }

    // Converts the form file bytes; returns the written file's bytes (empty
    // when none was written) and the log's count line.
    QByteArray Convert(const QByteArray &Bytes, QString *LogLine = nullptr)
    {
        const QString In = Dir.filePath(QStringLiteral("Main.dfm"));
        WriteBytes(In, Bytes);
        const QString OutFolder = Dir.filePath(QStringLiteral("out"));
        QDir().mkpath(OutFolder);
        QFile::remove(OutFolder + QStringLiteral("/Main.dfm"));
        const QString LogPath = Dir.filePath(QStringLiteral("log.txt"));
        Replacer.Log().SetHeader(QString());
        Replacer.Log().SetEmptyLineAfterString(false);
        Replacer.Log().OpenLogFile(LogPath);
        Replacer.ProcessFile(In, OutFolder);
        Replacer.Log().CloseLogFile();
        if (LogLine)
            *LogLine = QString::fromLatin1(ReadBytes(LogPath).split('\n').value(2)).trimmed();
        return ReadBytes(OutFolder + QStringLiteral("/Main.dfm"));
    }

    QString ConvertText(const QString &Text, QString *LogLine = nullptr)
    {
        const QByteArray Out = Convert(TextCodec::EncodeAnsi(Text), LogLine);
        return Out.isEmpty() ? QString() : TextCodec::DecodeAnsi(Out);
    }

    QTemporaryDir Dir;
    TReplaceOptions Options;
    TComponentReplacer Replacer;
};

} // namespace

TEST_F(ReplacerForms, FormWithoutConvertibleObjectsIsLeftAlone)
{
    QString Log;
    EXPECT_EQ(ConvertText(QStringLiteral("object Form1: TForm1\r\n  Left = 1\r\n  object B: TButton\r\n  end\r\nend\r\n"),
                          &Log),
              QString());
    EXPECT_EQ(Log, QStringLiteral("No changes"));
    EXPECT_EQ(Replacer.ChangedFilesCount(), 0);
}

TEST_F(ReplacerForms, NestedObjectsAreRecreatedInPlace)
{
    const QString In = QStringLiteral(
        "object Form1: TForm1\r\n"
        "  Left = 8\r\n"
        "  object Panel1: TPanel\r\n"
        "    Left = 0\r\n"
        "    object Query1: TQuery\r\n"
        "      object Query1ID: TIntegerField\r\n"
        "        FieldName = 'ID'\r\n"
        "      end\r\n"
        "      SQL.Strings = (\r\n"
        "        'select *'\r\n"
        "        'from T')\r\n"
        "      Left = 16\r\n"
        "    end\r\n"
        "    Top = 4\r\n"
        "  end\r\n"
        "  object Query2: TQUERY\r\n"
        "    Tag = 1\r\n"
        "  end\r\n"
        "end\r\n");
    // The blanks before a re-created object's keyword stay, and its header
    // brings its own indentation; the parse takes the blanks after its "end",
    // so the next line starts at once.
    const QString Expected = QStringLiteral(
        "object Form1: TForm1\r\n"
        "  Left = 8\r\n"
        "  object Panel1: TPanel\r\n"
        "    Left = 0\r\n"
        "        object Query1: TOrxQuery\r\n"
        "      SQL.Strings = (\r\n"
        // Further lines of a value: the object's property indentation, two
        // more blanks, then the line with its own indentation.
        "                'select *'\r\n"
        "                'from T')\r\n"
        "      Left = 16\r\n"
        "      object Query1ID: TIntegerField\r\n"
        "        FieldName = 'ID'\r\n"
        "      end\r\n"
        "    end\r\n"
        "Top = 4\r\n"
        "  end\r\n"
        "    object Query2: TOrxQuery\r\n"
        "    Tag = 1\r\n"
        "  end\r\n"
        "end\r\n");
    QString Log;
    EXPECT_EQ(ConvertText(In, &Log), Expected);
    EXPECT_EQ(Log, QStringLiteral("2 change(s)"));
    EXPECT_EQ(Replacer.ChangedFilesCount(), 1);
}

TEST_F(ReplacerForms, LineFeedFormsGetLineFeedObjects)
{
    const QString Out = ConvertText(QStringLiteral("object Form1: TForm1\n  object Q: TQuery\n    Tag = 1\n  end\nend\n"));
    EXPECT_EQ(Out, QStringLiteral("object Form1: TForm1\n    object Q: TOrxQuery\n    Tag = 1\n  end\nend\n"));
}

TEST_F(ReplacerForms, RefusedObjectsKeepTheirTextOrOnlyTheirClassName)
{
    // "$FF" is no value of the form grammar: the object is not re-created.
    const QString Refused = QStringLiteral("  object Bad: TQuery\r\n    Tag = $FF\r\n  end\r\n");
    QString Log;
    EXPECT_EQ(ConvertText(QStringLiteral("object Form1: TForm1\r\n") + Refused + QStringLiteral("end\r\n"), &Log),
              QString());
    EXPECT_EQ(Log, QStringLiteral("No changes"));

    const QString Out = ConvertText(QStringLiteral("object Form1: TForm1\r\n") + Refused
                                    + QStringLiteral("  object Good: TQuery\r\n  end\r\nend\r\n"),
                                    &Log);
    EXPECT_EQ(Log, QStringLiteral("1 change(s)"));
    EXPECT_TRUE(Out.contains(QStringLiteral("  object Bad: TOrxQuery\r\n    Tag = $FF\r\n  end\r\n")));
    EXPECT_TRUE(Out.contains(QStringLiteral("  object Good: TOrxQuery\r\n  end\r\n")));
}

// Objects of a descendant form or frame: an inherited or inline object is
// re-created under its keyword with the properties it overrides, and an
// order index stays behind the new class.
TEST_F(ReplacerForms, InheritedInlineAndIndexedObjectsAreConverted)
{
    const QString Out = ConvertText(QStringLiteral("inherited Frame1: TFrame1\r\n"
                                                   "  inherited Query1: TQuery\r\n"
                                                   "    Tag = 2\r\n"
                                                   "    inherited Query1ID: TIntegerField\r\n"
                                                   "    end\r\n"
                                                   "  end\r\n"
                                                   "  object trWrite: TQuery [5]\r\n"
                                                   "  end\r\n"
                                                   "  inline Query3: TQuery[-1]\r\n"
                                                   "  end\r\n"
                                                   "end\r\n"));
    EXPECT_EQ(Out, QStringLiteral("inherited Frame1: TFrame1\r\n"
                                  "    inherited Query1: TOrxQuery\r\n"
                                  "    Tag = 2\r\n"
                                  "    inherited Query1ID: TIntegerField\r\n"
                                  "    end\r\n"
                                  "  end\r\n"
                                  "  object trWrite: TOrxQuery [5]\r\n"
                                  "  end\r\n"
                                  "  inline Query3: TOrxQuery [-1]\r\n"
                                  "  end\r\n"
                                  "end\r\n"));
    // The same objects in a binary form: the flags and the index survive.
    const QString Text = QStringLiteral("inherited Frame1: TFrame1\r\n"
                                        "  object trWrite: TQuery [5]\r\n"
                                        "    Tag = 1\r\n"
                                        "  end\r\n"
                                        "  inherited Query1: TQuery\r\n"
                                        "  end\r\n"
                                        "end\r\n");
    const QByteArray Binary = Convert(BinaryForm("TFRAME1", Text));
    ASSERT_FALSE(Binary.isEmpty());
    EXPECT_EQ(ObjectBinaryToText(Binary.mid(3 + 8 + 2 + 4)), QStringLiteral("inherited Frame1: TFrame1\r\n"
                                                                             "  object trWrite: TOrxQuery [5]\r\n"
                                                                             "    Tag = 1\r\n"
                                                                             "  end\r\n"
                                                                             "  inherited Query1: TOrxQuery\r\n"
                                                                             "  end\r\n"
                                                                             "end\r\n"));
}

TEST_F(ReplacerForms, UnicodeFormsKeepTheirEncoding)
{
    const QString In = QString::fromUtf8("object Форма: TForm1\r\n  Caption = 'x'\r\n  object Q: TQuery\r\n  end\r\nend\r\n");
    const QString Expected = QString::fromUtf8("object Форма: TForm1\r\n  Caption = 'x'\r\n    object Q: TOrxQuery\r\n  end\r\nend\r\n");
    EXPECT_EQ(Convert(QByteArray("\xFF\xFE", 2) + TextCodec::EncodeUtf16LE(In)),
              QByteArray("\xFF\xFE", 2) + TextCodec::EncodeUtf16LE(Expected));
    EXPECT_EQ(Convert(QByteArray("\xEF\xBB\xBF") + TextCodec::EncodeUtf8(In)),
              QByteArray("\xEF\xBB\xBF") + TextCodec::EncodeUtf8(Expected));
}

TEST_F(ReplacerForms, BinaryFormsAreWrittenBinaryWithTheirResourceName)
{
    const QString Text = QStringLiteral("object DataModule1: TDataModule1\r\n"
                                        "  Left = 200\r\n"
                                        "  object Query1: TQuery\r\n"
                                        "    SQL.Strings = (\r\n"
                                        "      'select 1')\r\n"
                                        "    Left = 16\r\n"
                                        // hex digits from A to F in a converted object
                                        "    Data = {\r\n"
                                        "      0AFF1FF0BC}\r\n"
                                        "  end\r\n"
                                        "  object Label1: TLabel\r\n"
                                        "    Caption = #1055#1088#1080'!'\r\n"
                                        "  end\r\n"
                                        "end\r\n");
    const QByteArray Original = BinaryForm("TDATAMODULE1", Text);
    QString Log;
    const QByteArray Out = Convert(Original, &Log);
    EXPECT_EQ(Log, QStringLiteral("1 change(s)"));
    ASSERT_TRUE(Out.startsWith(QByteArray("\xFF\x0A\x00" "TDATAMODULE1\0\x30\x10", 18)));
    const QByteArray Stream = Out.mid(22);
    const auto *S = reinterpret_cast<const unsigned char *>(Out.constData() + 18);
    EXPECT_EQ(quint32(S[0] | S[1] << 8 | S[2] << 16 | S[3] << 24), quint32(Stream.size()));
    QString Expected = Text;
    Expected.replace(QStringLiteral("TQuery"), QStringLiteral("TOrxQuery"));
    EXPECT_EQ(ObjectBinaryToText(Stream), ObjectBinaryToText(ObjectTextToBinary(Expected)));
}

TEST_F(ReplacerForms, UnconvertedObjectsOfBinaryFormsKeepTheirExactBytes)
{
    // A label whose caption is an 8-bit string in the code page: written
    // back by a text-to-binary conversion alone it would change type.
    QByteArray Stream("TPF0", 4);
    auto ShortStr = [&](const QByteArray &S) { Stream += char(S.size()); Stream += S; };
    ShortStr("TForm1"); ShortStr("Form1");
    ShortStr("Left"); Stream += '\x04'; Stream += QByteArray("\x05\0\0\0", 4); // Int32 holding 5
    Stream += '\0';
    ShortStr("TLabel"); ShortStr("Label1");
    ShortStr("Caption"); Stream += '\x06'; ShortStr("caf\xE9");
    Stream += '\0'; Stream += '\0';
    ShortStr("TQuery"); ShortStr("Query1");
    Stream += '\0'; Stream += '\0';
    Stream += '\0';
    const QByteArray Out = Convert(TComponentReplacer::MakeBinaryFormFile("TFORM1", Stream));
    ASSERT_FALSE(Out.isEmpty());
    EXPECT_TRUE(Out.contains(QByteArray("\x04Left\x04\x05\0\0\0", 10))) << "Int32 kept";
    EXPECT_TRUE(Out.contains(QByteArray("\x07" "Caption\x06\x04" "caf\xE9", 14))) << "vaString kept";
    EXPECT_TRUE(Out.contains("TOrxQuery"));
}

TEST_F(ReplacerForms, TruncatedBinaryFormsStopWithAnErrorNamingTheFile)
{
    for (const QByteArray &Bytes : {QByteArray("\xFF\x0A\x00" "TFOR", 7), QByteArray("\xFF\x0A\x00" "T\0\x30", 6),
                                    QByteArray("\xFF\x0A\x00" "T\0\x30\x10\x10\0\0\0TPF0\x06TF", 18)}) {
        try {
            Convert(Bytes);
            ADD_FAILURE() << "no error for " << Bytes.toHex().constData();
        } catch (const EStreamError &E) {
            EXPECT_TRUE(E.Message().contains(QStringLiteral("Main.dfm"))) << E.Message().toStdString();
        }
    }
}

TEST_F(ReplacerForms, PreScanCollectsDatabaseNamesOfDatabaseObjects)
{
    const QString Form = Dir.filePath(QStringLiteral("Data.dfm"));
    WriteBytes(Form, "object DataModule1: TDataModule1\r\n"
                     "  object Database1: TDatabase\r\n"
                     "    DatabaseName = 'MyDB'\r\n"
                     "  end\r\n"
                     "  object Database2: tdatabase\r\n"
                     "    DatabaseName = 'Lower'\r\n"
                     "  end\r\n"
                     "  object Database3: TDatabase\r\n"
                     "    databasename = 'LowerProp'\r\n"
                     "  end\r\n"
                     "  inherited Database4: TDatabase\r\n"
                     "    DatabaseName = 'Inherited'\r\n"
                     "  end\r\n"
                     "  object Database5: TDatabase\r\n"
                     "    DatabaseName = 'It''s'\r\n"
                     "  end\r\n"
                     "  object Database10: TDatabase\r\n"
                     "    DatabaseName = 'Ten'\r\n"
                     "  end\r\n"
                     "end\r\n");
    Replacer.CollectDatabaseNames(Form);
    EXPECT_EQ(Replacer.DBList().Lines(),
              (QStringList{QStringLiteral("MyDB=DataModule1.Database1"), QStringLiteral("It's=DataModule1.Database5"),
                           QStringLiteral("Ten=DataModule1.Database10")}));
    EXPECT_EQ(Replacer.GetDatabaseConnection(QStringLiteral("DatabaseName"), QStringLiteral("mydb")),
              QStringLiteral("DataModule1.Database1"));
    EXPECT_EQ(Replacer.GetDatabaseConnection(QStringLiteral("DatabaseName"), QStringLiteral("Other")), QString());
    EXPECT_THROW(Replacer.GetDatabaseConnection(QStringLiteral("Database"), QStringLiteral("MyDB")), EAssertionFailed);
}

TEST(FormDatabaseNames, FoundInEveryEncodingOfAForm)
{
    const QString Text = QStringLiteral("object Dm: TDataModule\r\n"
                                        "  object Db\u00e9: TDatabase\r\n"
                                        "    DatabaseName = 'Main'\r\n"
                                        "  end\r\n"
                                        "end\r\n");
    const QList<std::pair<QString, QString>> Expected{{QStringLiteral("Main"), QStringLiteral("Dm.Db\u00e9")}};
    QByteArray Utf16("\xFF\xFE");
    Utf16.append(reinterpret_cast<const char *>(Text.utf16()), Text.size() * 2);
    const QByteArray Forms[] = {
        TextCodec::EncodeAnsi(Text),
        QByteArray("\xEF\xBB\xBF") + Text.toUtf8(),
        Utf16,
        TComponentReplacer::MakeBinaryFormFile("DM", ObjectTextToBinary(Text)),
    };
    for (const QByteArray &Form : Forms)
        EXPECT_EQ(TComponentReplacer::DatabaseNamesOf(Form, QStringLiteral("Dm.dfm")), Expected) << Form.left(8).toHex().toStdString();
    EXPECT_TRUE(TComponentReplacer::DatabaseNamesOf(TextCodec::EncodeAnsi(QStringLiteral("object Dm: TDataModule\r\nend\r\n")),
                                                   QStringLiteral("Dm.dfm"))
                    .isEmpty());
}
