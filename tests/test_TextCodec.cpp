// The codec must give back every byte it was given, in every encoding, and
// write characters that the ANSI code page lacks as "?".
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class CodePageScope
{
public:
    explicit CodePageScope(const char *Name) : FOld(TextCodec::AnsiCodePage())
    {
        EXPECT_TRUE(TextCodec::SetAnsiCodePage(QString::fromLatin1(Name)));
    }
    ~CodePageScope() { TextCodec::SetAnsiCodePage(FOld); }

private:
    QString FOld;
};

QByteArray RandomBytes(QRandomGenerator &Rng, int Size)
{
    QByteArray B(Size, Qt::Uninitialized);
    for (char &C : B)
        C = char(Rng.bounded(256));
    return B;
}

} // namespace

TEST(TextCodec, EveryByteStringSurvivesEachEncoding)
{
    QRandomGenerator Rng(42);
    for (const char *Page : {"windows-1252", "windows-1251"}) {
        CodePageScope Scope(Page);
        for (int Round = 0; Round < 200; ++Round) {
            const QByteArray Bytes = RandomBytes(Rng, Round * 7);
            EXPECT_EQ(TextCodec::EncodeAnsi(TextCodec::DecodeAnsi(Bytes)), Bytes) << Page;
            EXPECT_EQ(TextCodec::EncodeUtf8(TextCodec::DecodeUtf8(Bytes)), Bytes);
            QByteArray Tail;
            const QString Wide = TextCodec::DecodeUtf16LE(Bytes, &Tail);
            EXPECT_EQ(TextCodec::EncodeUtf16LE(Wide) + Tail, Bytes);
            TTextEncoding Enc;
            EXPECT_EQ(TextCodec::EncodeFile(TextCodec::DecodeFile(Bytes, Enc), Enc), Bytes);
        }
    }
}

TEST(TextCodec, DecodesTheCodePagesOfOurUsers)
{
    {
        CodePageScope Scope("windows-1251");
        EXPECT_EQ(TextCodec::DecodeAnsi("\xCF\xF0\xE8\xE2\xE5\xF2"), QString::fromUtf8("Привет"));
        EXPECT_EQ(TextCodec::EncodeAnsi(QString::fromUtf8("Привет")), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2"));
    }
    CodePageScope Scope("windows-1252");
    EXPECT_EQ(TextCodec::DecodeAnsi("\x80\xE9"), QString::fromUtf8("€é"));
    EXPECT_EQ(TextCodec::DecodeUtf8("\xD0\x9F\xC3\xA9"), QString::fromUtf8("Пé"));
}

TEST(TextCodec, UnmappableCharactersBecomeQuestionMarks)
{
    CodePageScope Scope("windows-1252");
    EXPECT_EQ(TextCodec::EncodeAnsi(QString::fromUtf8("aПb")), QByteArray("a?b"));
    // A character outside the basic plane is one character: one "?".
    EXPECT_EQ(TextCodec::EncodeAnsi(QString::fromUtf8("x\U0001F600y")), QByteArray("x?y"));
    // Wherever it stands in a run of ASCII (encoded 8 characters at a time,
    // and decoded 16 bytes at a time).
    const QByteArray Ascii("abcdefghijklmnopqrstuvwxyz0123456789ABCDE");
    for (int At = 0; At < 40; ++At) {
        QString Text = QString::fromLatin1(Ascii);
        Text[At] = QChar(0x041F);
        QByteArray Expected = Ascii;
        Expected[At] = '?';
        EXPECT_EQ(TextCodec::EncodeAnsi(Text), Expected) << At;
        Expected[At] = char(0xE9);
        Text[At] = QChar(0xE9);
        EXPECT_EQ(TextCodec::DecodeAnsi(Expected), Text) << At;
    }
    EXPECT_FALSE(TextCodec::IsAnsiEncodable(QString::fromUtf8("П")));
    EXPECT_TRUE(TextCodec::IsAnsiEncodable(QString::fromUtf8("café")));
}

TEST(TextCodec, ByteOrderMarksSelectTheEncoding)
{
    struct Row
    {
        QByteArray Bytes;
        TTextEncodingKind Kind;
        QString Text;
    };
    const Row Rows[] = {
        {QByteArray("\xFF\xFE" "A\0", 4), TTextEncodingKind::Utf16LE, QStringLiteral("A")},
        {QByteArray("\xFF\xFE", 2), TTextEncodingKind::Utf16LE, QString()},
        {QByteArray("\xEF\xBB\xBF" "ab"), TTextEncodingKind::Utf8, QStringLiteral("ab")},
        {QByteArray("\xEF\xBB\xBF"), TTextEncodingKind::Utf8, QString()},
        // The edges of UTF-8's two-, three- and four-byte forms.
        {QByteArray("\xEF\xBB\xBF\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80"), TTextEncodingKind::Utf8,
         QString(QChar(0x7FF)) + QChar(0x800) + QChar(0xFFFF) + QChar(0xD800) + QChar(0xDC00)},
        {QByteArray("\xEF\xBB"), TTextEncodingKind::Ansi, QString::fromUtf8("ï»")},
        {QByteArray("\xFF"), TTextEncodingKind::Ansi, QString::fromUtf8("ÿ")},
        // Big-endian UTF-16 is not recognised: read as ANSI.
        {QByteArray("\xFE\xFF\0A", 4), TTextEncodingKind::Ansi, QString::fromUtf8("þÿ") + QChar(0) + u'A'},
    };
    CodePageScope Scope("windows-1252");
    for (const Row &R : Rows) {
        TTextEncoding Enc;
        EXPECT_EQ(TextCodec::DecodeFile(R.Bytes, Enc), R.Text) << R.Bytes.toHex().constData();
        EXPECT_EQ(Enc.Kind, R.Kind) << R.Bytes.toHex().constData();
        EXPECT_EQ(TextCodec::EncodeFile(TextCodec::DecodeFile(R.Bytes, Enc), Enc), R.Bytes);
    }
}

TEST(TextCodec, UnknownCodePageIsRefusedAndTheOldOneKept)
{
    CodePageScope Scope("windows-1251");
    EXPECT_FALSE(TextCodec::SetAnsiCodePage(QStringLiteral("no-such-code-page")));
    EXPECT_EQ(TextCodec::AnsiCodePage(), QStringLiteral("windows-1251"));
}

#ifdef Q_OS_WIN
TEST(TextCodec, WindowsGivesTheSingleByteCodePagesAndAMultiByteOneIsRefused)
{
    CodePageScope Scope("cp866");
    EXPECT_EQ(TextCodec::DecodeAnsi("\x8F\xE0\xA8"), QString::fromUtf8("При"));
    QString Error;
    EXPECT_FALSE(TextCodec::SetAnsiCodePage(QStringLiteral("shift_jis"), &Error));
    EXPECT_TRUE(Error.contains(QStringLiteral("more than one byte"))) << Error.toStdString();
    EXPECT_EQ(TextCodec::AnsiCodePage(), QStringLiteral("cp866"));
}
#endif

TEST(TextCodec, ThreadsDecodeAndEncodeWhileTheCodePageChanges)
{
    QByteArray Bytes;
    for (int B = 0; B < 256; ++B)
        Bytes.append(char(B));
    CodePageScope Scope("windows-1251");
    const QString Cyrillic = TextCodec::DecodeAnsi(Bytes);
    TextCodec::SetAnsiCodePage(QStringLiteral("windows-1252"));
    const QString Western = TextCodec::DecodeAnsi(Bytes);
    const QByteArray WesternIn1251 = [&] {
        CodePageScope Inner("windows-1251");
        return TextCodec::EncodeAnsi(Western);
    }();
    std::atomic<bool> Done{false};
    std::atomic<int> Broken{0};
    std::vector<std::thread> Workers;
    for (int I = 0; I < 3; ++I)
        Workers.emplace_back([&] {
            // Each call works with one code page, the old or the new one.
            while (!Done) {
                const QString Text = TextCodec::DecodeAnsi(Bytes);
                const QByteArray Encoded = TextCodec::EncodeAnsi(Western);
                if ((Text != Western && Text != Cyrillic) || (Encoded != Bytes && Encoded != WesternIn1251))
                    ++Broken;
            }
        });
    for (int I = 0; I < 200; ++I)
        TextCodec::SetAnsiCodePage(QString::fromLatin1(I % 2 ? "windows-1251" : "windows-1252"));
    Done = true;
    for (std::thread &Worker : Workers)
        Worker.join();
    EXPECT_EQ(Broken, 0);
}
