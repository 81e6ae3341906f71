// The component stream converter: binary -> text -> binary, the text layout,
// the originals record, and bad input.
#include "ComponentStream.h"
#include "Errors.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

// Readable failure output.
void PrintTo(const QString &Text, std::ostream *Out)
{
    *Out << '"' << Text.toStdString() << '"';
}
void PrintTo(const QByteArray &Bytes, std::ostream *Out)
{
    *Out << Bytes.toHex(' ').toStdString();
}

namespace {

// Builds binary component streams readably: B.Object("TForm1", "Form1")
// .Prop("Left").Int8(10).End().End() ...
class TStreamBuilder
{
public:
    TStreamBuilder() : FBytes("TPF0", 4) {}

    TStreamBuilder &Raw(std::initializer_list<int> Bytes)
    {
        for (const int B : Bytes)
            FBytes.append(char(B));
        return *this;
    }
    TStreamBuilder &Le(uint64_t Value, int Size)
    {
        for (int I = 0; I < Size; ++I)
            FBytes.append(char(Value >> (8 * I)));
        return *this;
    }
    TStreamBuilder &Short(QByteArrayView Text)
    {
        FBytes.append(char(Text.size()));
        FBytes.append(Text);
        return *this;
    }
    TStreamBuilder &Object(const char *Class, const char *Name) { return Short(Class).Short(Name); }
    TStreamBuilder &Prop(const char *Name) { return Short(Name); }
    TStreamBuilder &End() { return Raw({0}); }
    TStreamBuilder &Int8(int V) { return Raw({2}).Le(uint64_t(V), 1); }
    TStreamBuilder &Int16(int V) { return Raw({3}).Le(uint64_t(V), 2); }
    TStreamBuilder &Int32(qint64 V) { return Raw({4}).Le(uint64_t(V), 4); }
    TStreamBuilder &Int64(qint64 V) { return Raw({19}).Le(uint64_t(V), 8); }
    TStreamBuilder &Str(QByteArrayView Text) { return Raw({6}).Short(Text); }
    TStreamBuilder &LStr(QByteArrayView Text) { return Raw({12}).Le(uint64_t(Text.size()), 4).Bytes(Text); }
    TStreamBuilder &Utf8(QByteArrayView Text) { return Raw({20}).Le(uint64_t(Text.size()), 4).Bytes(Text); }
    TStreamBuilder &WStr(QStringView Text)
    {
        Raw({18}).Le(uint64_t(Text.size()), 4);
        for (const QChar C : Text)
            Le(C.unicode(), 2);
        return *this;
    }
    TStreamBuilder &Ident(QByteArrayView Text) { return Raw({7}).Short(Text); }
    TStreamBuilder &Ext(long double V)
    {
        char Bits[16] = {};
        memcpy(Bits, &V, sizeof(V));
        return Raw({5}).Bytes(QByteArrayView(Bits, 10));
    }
    TStreamBuilder &Bytes(QByteArrayView Data)
    {
        FBytes.append(Data);
        return *this;
    }
    QByteArray Stream() const { return FBytes; }

private:
    QByteArray FBytes;
};

// A form with one property: TPF0 object Form1: TForm1 <Name> = <value> end.
QByteArray oneProperty(const char *Name, const TStreamBuilder &Value)
{
    TStreamBuilder B;
    B.Object("TForm1", "Form1").Prop(Name).Bytes(Value.Stream().mid(4)).End().End();
    return B.Stream();
}

QString formText(const QString &PropertyLines)
{
    return QStringLiteral("object Form1: TForm1\r\n") + PropertyLines + QStringLiteral("end\r\n");
}

TStreamBuilder value() { return {}; }

struct TLayoutCase
{
    const char *What;
    QByteArray Stream;
    QString Text; // property lines, inside "object Form1: TForm1"
};

// Streams as our writer produces them, with the text Delphi's layout gives.
std::vector<TLayoutCase> layoutCases()
{
    const QByteArray Long70 = QByteArray(70, 'a');
    const QByteArray Binary40 = [] {
        QByteArray B;
        for (int I = 0; I < 40; ++I)
            B.append(char(I * 7));
        return B;
    }();
    return {
        {"small integer", oneProperty("Left", value().Int8(-5)), "  Left = -5\r\n"},
        {"16-bit integer", oneProperty("Width", value().Int16(1000)), "  Width = 1000\r\n"},
        // Each integer and string in the smallest type that holds it.
        {"127 fits 8 bits", oneProperty("Tag", value().Int8(127)), "  Tag = 127\r\n"},
        {"128 needs 16", oneProperty("Tag", value().Int16(128)), "  Tag = 128\r\n"},
        {"-128 fits 8 bits", oneProperty("Tag", value().Int8(-128)), "  Tag = -128\r\n"},
        {"-129 needs 16", oneProperty("Tag", value().Int16(-129)), "  Tag = -129\r\n"},
        {"32768 needs 32", oneProperty("Tag", value().Int32(32768)), "  Tag = 32768\r\n"},
        {"string of 255 is short", oneProperty("Text", value().Str(QByteArray(255, 'c'))),
         "  Text = \r\n" + QString("    '" + QString(64, u'c') + "' +\r\n").repeated(3) + "    '" + QString(63, u'c')
             + "'\r\n"},
        {"string of 256 is long", oneProperty("Text", value().LStr(QByteArray(256, 'c'))),
         "  Text = \r\n" + QString("    '" + QString(64, u'c') + "' +\r\n").repeated(3) + "    '" + QString(64, u'c')
             + "'\r\n"},
        // UTF-8 at the edges of its two-, three- and four-byte forms.
        {"U+07FF", oneProperty("Caption", value().Utf8("\xDF\xBF")), "  Caption = #2047\r\n"},
        {"U+0800", oneProperty("Caption", value().Utf8("\xE0\xA0\x80")), "  Caption = #2048\r\n"},
        {"U+FFFF", oneProperty("Caption", value().Utf8("\xEF\xBF\xBF")), "  Caption = #65535\r\n"},
        {"U+10000", oneProperty("Caption", value().Utf8("\xF0\x90\x80\x80")), "  Caption = #55296#56320\r\n"},
        {"32-bit integer", oneProperty("Tag", value().Int32(-100000)), "  Tag = -100000\r\n"},
        {"64-bit minimum", oneProperty("Big", value().Int64(std::numeric_limits<qint64>::min())),
         "  Big = -9223372036854775808\r\n"},
        {"extended 1.5", oneProperty("Ratio", value().Ext(1.5L)), "  Ratio = 1.500000000000000000\r\n"},
        {"extended negative", oneProperty("Date", value().Ext(-700000.0L)),
         "  Date = -700000.000000000000000000\r\n"},
        {"extended from text", oneProperty("Size", value().Ext(1001.574803149606L)),
         "  Size = 1001.574803149606000000\r\n"},
        {"extended zero", oneProperty("Zero", value().Ext(0.0L)), "  Zero = 0.000000000000000000\r\n"},
        {"extended minus zero", oneProperty("Zero", value().Ext(-0.0L)), "  Zero = -0.000000000000000000\r\n"},
        {"extended one third keeps its bits", oneProperty("Third", value().Ext(1.0L / 3)),
         "  Third = 0.33333333333333333334\r\n"},
        {"extended huge", oneProperty("Huge", value().Ext(1e300L)), "  Huge = 1.0E+300\r\n"},
        {"single", oneProperty("S", value().Raw({15, 0, 0, 0xC0, 0x3F})), "  S = 1.500000000000000000s\r\n"},
        {"currency", oneProperty("EditValue", value().Raw({16}).Le(15000, 8)), "  EditValue = 15000c\r\n"},
        {"zero currency", oneProperty("EditValue", value().Raw({16}).Le(0, 8)), "  EditValue = 0c\r\n"},
        {"whole date", oneProperty("When", value().Raw({17}).Le(0x40E5F90000000000ull, 8)), "  When = 45000d\r\n"},
        {"date with time", oneProperty("When", value().Raw({17}).Le(0x40E5F90800000000ull, 8)),
         "  When = 45000.250000000000000000d\r\n"},
        {"string with apostrophe", oneProperty("SQL", value().Str("NAME = 'X'")),
         "  SQL = 'NAME = '#39'X'#39\r\n"},
        {"string with controls", oneProperty("Hint", value().Str("Tab\tand\r\n")), "  Hint = 'Tab'#9'and'#13#10\r\n"},
        {"empty string", oneProperty("Caption", value().Str("")), "  Caption = ''\r\n"},
        {"non-ASCII string", oneProperty("Caption", value().Utf8("\xD0\x9F\xD1\x80!")),
         "  Caption = #1055#1088'!'\r\n"},
        {"lone surrogate stays a wide string", oneProperty("Caption", value().WStr(u"a\xD800")),
         "  Caption = 'a'#55296\r\n"},
        {"string beyond the BMP", oneProperty("Caption", value().Utf8("\xF0\x9F\x98\x80")),
         "  Caption = #55357#56832\r\n"},
        {"string of 64 characters stays on the line", oneProperty("Text", value().Str(QByteArray(64, 'x'))),
         "  Text = '" + QString(64, u'x') + "'\r\n"},
        {"long string split at 64", oneProperty("Text", value().Str(Long70)),
         "  Text = \r\n    '" + QString(64, u'a') + "' +\r\n    'aaaaaa'\r\n"},
        {"long string of 300 characters", oneProperty("Text", value().LStr(QByteArray(300, 'b'))),
         "  Text = \r\n" + QString("    '" + QString(64, u'b') + "' +\r\n").repeated(4) + "    '" + QString(44, u'b')
             + "'\r\n"},
        {"identifier", oneProperty("Align", value().Ident("alClient")), "  Align = alClient\r\n"},
        {"dotted reference", oneProperty("DataSource", value().Ident("Form1.DSKART")),
         "  DataSource = Form1.DSKART\r\n"},
        {"booleans, nil and Null",
         [] {
             TStreamBuilder B;
             B.Object("TForm1", "Form1").Prop("A").Raw({9}).Prop("B").Raw({8}).Prop("C").Raw({13}).Prop("D").Raw({0});
             return B.End().End().Stream();
         }(),
         "  A = True\r\n  B = False\r\n  C = nil\r\n  D = Null\r\n"},
        {"set", oneProperty("Font.Style", value().Raw({11}).Short("fsBold").Short("fsItalic").End()),
         "  Font.Style = [fsBold, fsItalic]\r\n"},
        {"empty set", oneProperty("Anchors", value().Raw({11}).End()), "  Anchors = []\r\n"},
        {"list of strings", oneProperty("SQL.Strings", value().Raw({1}).Str("select *").Str("from T").End()),
         "  SQL.Strings = (\r\n    'select *'\r\n    'from T')\r\n"},
        {"empty list", oneProperty("Items.Strings", value().Raw({1}).End()), "  Items.Strings = ()\r\n"},
        {"long string in a list", oneProperty("Lines.Strings", value().Raw({1}).Str(Long70).End()),
         "  Lines.Strings = (\r\n    \r\n      '" + QString(64, u'a') + "' +\r\n      'aaaaaa')\r\n"},
        {"nested list", oneProperty("L", value().Raw({1}).Int8(1).Raw({1}).Int8(2).End().End()),
         "  L = (\r\n    1\r\n    (\r\n      2))\r\n"},
        {"binary data", oneProperty("Picture.Data", value().Raw({10}).Le(40, 4).Bytes(Binary40)),
         "  Picture.Data = {\r\n    00070E151C232A31383F464D545B626970777E858C939AA1A8AFB6BDC4CBD2D9\r\n"
         "    E0E7EEF5FC030A11}\r\n"},
        {"empty binary data", oneProperty("Data", value().Raw({10}).Le(0, 4)), "  Data = {}\r\n"},
        {"collection",
         oneProperty("Columns", value()
                                    .Raw({14, 1})
                                    .Prop("FieldName")
                                    .Str("ID")
                                    .Prop("Width")
                                    .Int8(40)
                                    .End()
                                    .Raw({1})
                                    .Prop("FieldName")
                                    .Str("NAME")
                                    .End()
                                    .End()),
         "  Columns = <\r\n    item\r\n      FieldName = 'ID'\r\n      Width = 40\r\n    end\r\n    item\r\n"
         "      FieldName = 'NAME'\r\n    end>\r\n"},
        {"collection with order values",
         oneProperty("Items", value().Raw({14}).Int8(3).Raw({1}).Prop("Tag").Int8(1).End().End()),
         "  Items = <\r\n    item [3]\r\n      Tag = 1\r\n    end>\r\n"},
        {"empty collection", oneProperty("Columns", value().Raw({14, 0})), "  Columns = <>\r\n"},
    };
}

TEST(ComponentStreamLayout, WritesDelphiTextAndReadsItBackToTheSameBytes)
{
    for (const TLayoutCase &Case : layoutCases()) {
        SCOPED_TRACE(Case.What);
        const QString Text = ObjectBinaryToText(Case.Stream);
        EXPECT_EQ(Text, formText(Case.Text));
        EXPECT_EQ(ObjectTextToBinary(Text).toHex(' '), Case.Stream.toHex(' '));
    }
}

TEST(ComponentStreamLayout, ObjectHeadersAndNesting)
{
    TStreamBuilder B;
    B.Object("TForm1", "Form1").Prop("Left").Int8(1).End();
    B.Raw({0xF3}).Int8(0).Object("TPanel", "Panel2").End().End(); // inherited, child position 0
    B.Raw({0xF4}).Object("TFrame1", "Frame11").End();              // inline
    B.Object("TPage", "").End().Object("TSpeedButton", "").End().End(); // unnamed, nested
    B.End().End();
    B.Raw({0xF2}).Int16(300).Object("TLabel", "Label1").End().End(); // child position
    B.End();
    const QString Expected = "object Form1: TForm1\r\n"
                             "  Left = 1\r\n"
                             "  inherited Panel2: TPanel [0]\r\n"
                             "  end\r\n"
                             "  inline Frame11: TFrame1\r\n"
                             "    object TPage\r\n"
                             "      object TSpeedButton\r\n"
                             "      end\r\n"
                             "    end\r\n"
                             "  end\r\n"
                             "  object Label1: TLabel [300]\r\n"
                             "  end\r\n"
                             "end\r\n";
    const QString Text = ObjectBinaryToText(B.Stream());
    EXPECT_EQ(Text, Expected);
    EXPECT_EQ(ObjectTextToBinary(Text), B.Stream());
}

TEST(ComponentStreamExtended, EveryBitPatternComesBack)
{
    const long double Values[] = {0.1L,
                                  1.0L / 3,
                                  3.14159265358979323846L,
                                  -2.5e-7L,
                                  1e16L,
                                  123456789012345678.0L,
                                  std::numeric_limits<long double>::max(),
                                  std::numeric_limits<long double>::min(),
                                  std::numeric_limits<long double>::denorm_min(),
                                  std::numeric_limits<long double>::lowest(),
                                  (long double)0.1,
                                  1.24999999999999999995e-4L,
                                  std::numeric_limits<long double>::infinity(),
                                  -std::numeric_limits<long double>::infinity(),
                                  std::numeric_limits<long double>::quiet_NaN()};
    for (const long double V : Values) {
        const QByteArray Stream = oneProperty("V", value().Ext(V));
        const QString Text = ObjectBinaryToText(Stream);
        SCOPED_TRACE(Text.toStdString());
        EXPECT_EQ(ObjectTextToBinary(Text), Stream);
    }
}

TEST(ComponentStreamExtended, InvalidEncodingsAndNaNPayloadsTravelAsRawBits)
{
    // An unnormal (integer bit clear) and a NaN with a payload: no decimal
    // text gives them back, the raw form does.
    const QByteArray Unnormal = QByteArray::fromHex("00000000000000400040");
    const QByteArray Payload = QByteArray::fromHex("0100000000000000C0FF");
    for (const QByteArray &Bits : {Unnormal, Payload}) {
        const QByteArray Stream = oneProperty("V", value().Raw({5}).Bytes(Bits));
        const QString Text = ObjectBinaryToText(Stream);
        EXPECT_TRUE(Text.contains(u'$')) << Text.toStdString();
        EXPECT_EQ(ObjectTextToBinary(Text), Stream);
    }
    EXPECT_EQ(ObjectBinaryToText(oneProperty("V", value().Raw({15}).Le(0x7FC00001, 4))),
              formText("  V = $7FC00001s\r\n"));
}

TEST(ComponentStreamForeign, OtherWritersStreamsKeepTheirValues)
{
    // Streams our writer would encode differently: after one round trip the
    // values are the same, and a second round trip changes nothing.
    const struct {
        const char *What;
        QByteArray Stream;
        QString Text;
    } Cases[] = {
        {"Int32 holding a small number", oneProperty("Tag", value().Int32(5)), "  Tag = 5\r\n"},
        {"Int64 holding a 16-bit number", oneProperty("Tag", value().Int64(-300)), "  Tag = -300\r\n"},
        {"vaDouble", oneProperty("X", value().Raw({21}).Le(0x3FB999999999999Aull, 8)),
         "  X = 0.10000000000000000555\r\n"},
        {"ASCII UTF-8 string", oneProperty("S", value().Utf8("abc")), "  S = 'abc'\r\n"},
        {"wide string", oneProperty("S", value().WStr(u"\u00e9t\u00e9")), "  S = #233't'#233\r\n"},
        {"ANSI string in cp1252", oneProperty("S", value().Str("\x80 \xE9")), "  S = #8364' '#233\r\n"},
        {"long string of 10 characters", oneProperty("S", value().LStr("0123456789")), "  S = '0123456789'\r\n"},
        {"Int16 order value", oneProperty("Items", value().Raw({14}).Int16(2).Raw({1}).End().End()),
         "  Items = <\r\n    item [2]\r\n    end>\r\n"},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        const QString Text = ObjectBinaryToText(Case.Stream);
        EXPECT_EQ(Text, formText(Case.Text));
        const QByteArray Ours = ObjectTextToBinary(Text);
        EXPECT_NE(Ours, Case.Stream);
        EXPECT_EQ(ObjectBinaryToText(Ours), Text);
    }
}

TEST(ComponentStreamForeign, DoubleComesBackAsTheSameValue)
{
    const double Value = 0.1;
    TStreamBuilder D;
    D.Raw({21}).Le(0x3FB999999999999Aull, 8);
    const QByteArray Ours = ObjectTextToBinary(ObjectBinaryToText(oneProperty("X", D)));
    EXPECT_EQ(Ours, oneProperty("X", value().Ext((long double)Value)));
}

TEST(ComponentStreamText, ReadsDelphiAndHandWrittenVariants)
{
    const struct {
        const char *Text;
        QByteArray Stream;
    } Cases[] = {
        {"object Form1 : TForm1 [ 5 ]\n  Left=1\nend", [] {
             TStreamBuilder B;
             B.Raw({0xF2}).Int8(5).Object("TForm1", "Form1").Prop("Left").Int8(1).End().End();
             return B.Stream();
         }()},
        {"OBJECT Form1: TForm1 S = 'It''s' + #$41\n  X = $FF\n  F = 2.5E1\nEND", [] {
             TStreamBuilder B;
             B.Object("TForm1", "Form1").Prop("S").Str("It'sA").Prop("X").Int16(255).Prop("F").Ext(25.0L);
             return B.End().End().Stream();
         }()},
        {"\xEF\xBB\xBFobject F: T\r\n  C = 15000c\r\n  D = 2d\r\n  S = 0.5s\r\n  N = NULL\r\nend\r\ntrailing", [] {
             TStreamBuilder B;
             B.Object("T", "F").Prop("C").Raw({16}).Le(15000, 8).Prop("D").Raw({17}).Le(0x4000000000000000ull, 8);
             B.Prop("S").Raw({15}).Le(0x3F000000, 4).Prop("N").Raw({0});
             return B.End().End().Stream();
         }()},
        {"object F: T\n  B = {0a 0B\n 0c}\nend", [] {
             TStreamBuilder B;
             B.Object("T", "F").Prop("B").Raw({10}).Le(3, 4).Raw({10, 11, 12});
             return B.End().End().Stream();
         }()},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Text);
        EXPECT_EQ(ObjectTextToBinary(QString::fromUtf8(Case.Text)).toHex(' '), Case.Stream.toHex(' '));
    }
}

TEST(ComponentStreamText, NonAsciiNamesAreUtf8)
{
    TStreamBuilder B;
    B.Object("TForm1", "\xD0\xA4\xD0\xBE\xD1\x80\xD0\xBC\xD0\xB0").Prop("Caption").Utf8("\xC3\xA9").End().End();
    const QString Text = ObjectBinaryToText(B.Stream());
    EXPECT_EQ(Text, formText("  Caption = #233\r\n").replace("Form1:", QString::fromUtf8("\u0424\u043e\u0440\u043c\u0430:")));
    EXPECT_EQ(ObjectTextToBinary(Text), B.Stream());
}

TEST(ComponentStreamText, ErrorsNameLineColumnAndWhatWasExpected)
{
    const struct {
        const char *Text;
        const char *Message;
    } Cases[] = {
        {"", "Component text: expected \"object\", \"inherited\" or \"inline\" at line 1, column 1"},
        {"object F: T\r\n  Left = \r\n)", "Component text: expected a property value at line 3, column 1"},
        {"object F: T\n  S = 'abc\nend", "Component text: expected the closing quote of the string at line 2, column 11"},
        {"object F: T\n  X = 99999999999999999999\nend", "Component text: integer out of range at line 2, column 7"},
        {"object F: T\n  B = {ABC}\nend", "Component text: expected the second hexadecimal digit of a byte at line 2, column 11"},
        {"object F: T\n  X = 1\n", "Component text: expected a property, a child object or \"end\" at line 3, column 1"},
        {"object F: T\n  X = 5q\nend", "Component text: unexpected character 'q' after a number at line 2, column 8"},
        {"object F: T\n  X = 1e99999\nend", "Component text: number out of range at line 2, column 7"},
        {"object F: T\n  X = <item end item>\nend", "Component text: expected a property name at line 2, column 21"},
    };
    for (const auto &Case : Cases) {
        try {
            ObjectTextToBinary(QString::fromUtf8(Case.Text));
            ADD_FAILURE() << "no error for " << Case.Text;
        } catch (const EStreamError &E) {
            EXPECT_EQ(E.Message(), QString::fromUtf8(Case.Message));
        }
    }
}

TEST(ComponentStreamBinary, TruncationAtEveryOffsetRaisesAnError)
{
    QByteArray Stream;
    for (const TLayoutCase &Case : layoutCases())
        Stream += Case.Stream;
    // One stream that holds every value kind: join the cases' properties.
    TStreamBuilder All;
    All.Object("TForm1", "Form1");
    for (const TLayoutCase &Case : layoutCases())
        All.Bytes(Case.Stream.mid(17, Case.Stream.size() - 17 - 2));
    All.End().Raw({0xF2}).Int32(70000).Object("TLabel", "L").End().End().End();
    const QByteArray Full = All.Stream();
    ASSERT_NO_THROW(ObjectBinaryToText(Full));
    for (qsizetype Size = 0; Size < Full.size(); ++Size) {
        try {
            ObjectBinaryToText(QByteArrayView(Full).first(Size));
            ADD_FAILURE() << "no error at size " << Size;
        } catch (const EStreamError &E) {
            EXPECT_TRUE(E.Message().startsWith("Component stream: unexpected end of data at offset "))
                << E.what();
        }
    }
}

TEST(ComponentStreamBinary, CorruptStreamsNameTheOffset)
{
    const struct {
        const char *What;
        QByteArray Stream;
        const char *Message;
    } Cases[] = {
        {"bad signature", "TPF1\x06TForm1", "Component stream: invalid signature (expected \"TPF0\") at offset 0"},
        {"unknown type", oneProperty("X", value().Raw({22})), "Component stream: unknown value type 22 at offset 19"},
        {"length beyond the end", oneProperty("X", value().Raw({12}).Le(0xFFFFFFFF, 4)),
         "Component stream: unexpected end of data at offset 26 (expected the characters of a string)"},
        {"empty class name", QByteArray("TPF0\x00\x00\x00\x00", 8), "Component stream: invalid class name \"\" at offset 4"},
        {"property name with a blank", oneProperty("A B", value().Int8(1)),
         "Component stream: invalid property name \"A B\" at offset 17"},
        {"child position not an integer", QByteArray("TPF0\xF2\x06", 6),
         "Component stream: value type 6 where the child position (an integer) was expected at offset 5"},
        {"bad collection item", oneProperty("C", value().Raw({14, 6})),
         "Component stream: value type 6 where a collection item was expected at offset 20"},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        try {
            ObjectBinaryToText(Case.Stream);
            ADD_FAILURE() << "no error";
        } catch (const EStreamError &E) {
            EXPECT_EQ(E.Message(), QString::fromUtf8(Case.Message));
        }
    }
}

TEST(ComponentStreamBinary, HostileNestingFailsCleanly)
{
    TStreamBuilder Lists;
    Lists.Object("T", "F").Prop("L");
    for (int I = 0; I < 100000; ++I)
        Lists.Raw({1});
    EXPECT_THROW(ObjectBinaryToText(Lists.Stream()), EStreamError);

    TStreamBuilder Objects;
    for (int I = 0; I < 100000; ++I)
        Objects.Object("T", "").End();
    EXPECT_THROW(ObjectBinaryToText(Objects.Stream()), EStreamError);

    EXPECT_THROW(ObjectTextToBinary(QString("object F: T\n X = ") + QString(100000, u'(')), EStreamError);
    EXPECT_THROW(ObjectTextToBinary(QString("object F: T\n").repeated(100000)), EStreamError);
}

// A form whose objects other writers encoded in ways the text alone cannot
// tell: an Int32 small number, a cp1252 vaString, a vaUTF8String of ASCII,
// a vaDouble, a 16-bit child position.
QByteArray foreignForm(bool EditedQuery)
{
    TStreamBuilder B;
    B.Object("TForm1", "Form1").Prop("Tag").Int32(5).Prop("Caption").Str("Caf\xE9").End();
    if (EditedQuery) {
        // The edited object: a new header and a new property get default
        // types; its values whose text is unchanged keep their bytes.
        B.Object("TOrxQuery", "Query1").Prop("Tag").Int32(7).Prop("SQL.Strings").Raw({1}).Utf8("select 1").End();
        B.Prop("Connection").Ident("Database1").Prop("Ratio").Raw({21}).Le(0x3FE0000000000000ull, 8).End().End();
    } else {
        B.Object("TQuery", "Query1").Prop("Tag").Int32(7).Prop("SQL.Strings").Raw({1}).Utf8("select 1").End();
        B.Prop("DatabaseName").Str("MyDB").Prop("Ratio").Raw({21}).Le(0x3FE0000000000000ull, 8).End().End();
    }
    B.Raw({0xF2}).Int16(1).Object("TPanel", "Panel1").Prop("Hint").Utf8("plain").Prop("Width").Int64(10).End();
    B.Object("TLabel", "").Prop("X").Raw({21}).Le(0x3FB999999999999Aull, 8).End().End();
    B.End().End();
    return B.Stream();
}

TEST(ComponentStreamOriginals, EditingOneObjectKeepsTheOthersBytes)
{
    const QByteArray Original = foreignForm(false);
    TStreamOriginals Originals;
    const QString Text = ObjectBinaryToText(Original, &Originals);
    EXPECT_EQ(Originals.ObjectCount(), 4);
    EXPECT_EQ(ObjectTextToBinary(Text, &Originals), Original);

    // The replace run re-creates Query1 (new class, one property replaced,
    // other indentation); the lines after it lose their indentation.
    const qsizetype Start = Text.indexOf("  object Query1");
    const qsizetype End = Text.indexOf("  end\r\n", Start) + 7;
    QString Edited = Text;
    Edited.replace(Start, End - Start,
                   "    object Query1: TOrxQuery\r\n"
                   "      Tag = 7\r\n"
                   "      SQL.Strings = (\r\n        'select 1')\r\n"
                   "      Connection = Database1\r\n"
                   "      Ratio = 0.500000000000000000\r\n"
                   "    end\r\n");
    Edited.replace("  inherited", "inherited").replace("  object Panel1", "object Panel1");
    EXPECT_EQ(ObjectTextToBinary(Edited, &Originals).toHex(' '), foreignForm(true).toHex(' '));
    // Without the record every value gets the default types.
    EXPECT_NE(ObjectTextToBinary(Edited), foreignForm(true));
}

TEST(ComponentStreamOriginals, ChangedValuesAndHeadersGetDefaultBytes)
{
    TStreamBuilder B;
    B.Raw({0xF2}).Int32(1).Object("TForm1", "Form1").Prop("Tag").Int32(5).Prop("Tag").Int32(6).End();
    B.Object("TButton", "").Prop("Left").Int32(1).End().End();
    B.Object("TButton", "").Prop("Left").Int32(2).End().End();
    B.End();
    TStreamOriginals Originals;
    QString Text = ObjectBinaryToText(B.Stream(), &Originals);
    // Swap the two unnamed buttons' values and renumber the form's child
    // position: those values are matched to their own records, not the
    // neighbours'.
    Text.replace("Left = 1", "Left = X").replace("Left = 2", "Left = 1").replace("Left = X", "Left = 2");
    Text.replace("[1]", "[2]");
    TStreamBuilder Expected;
    Expected.Raw({0xF2}).Int8(2).Object("TForm1", "Form1").Prop("Tag").Int32(5).Prop("Tag").Int32(6).End();
    Expected.Object("TButton", "").Prop("Left").Int8(2).End().End();
    Expected.Object("TButton", "").Prop("Left").Int8(1).End().End();
    Expected.End();
    EXPECT_EQ(ObjectTextToBinary(Text, &Originals).toHex(' '), Expected.Stream().toHex(' '));
}

} // namespace
