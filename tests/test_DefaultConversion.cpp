// The default property conversion: the BDE rules, the parameter list of a
// TDatabase, the filter on the new class's published properties, the class
// registry it asks, and the reading and writing of form strings.
#include "ClassRegistry.h"
#include "DefaultConversion.h"
#include "FormParser.h"

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const QString &Text, std::ostream *Out)
{
    *Out << '"' << QString(Text).replace("\r", "\\r").replace("\n", "\\n").toStdString() << '"';
}

namespace {

// A new class known to the registry, and one that it does not know.
const QString Registered = QStringLiteral("TTestOrxQuery");
const QString Unregistered = QStringLiteral("TNotRegisteredAnywhere");

class DefaultConversion : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        TClassRegistry::Global().RegisterClass(Registered, {"Name", "Tag", "SQL", "Font", "Active", "Connection"});
    }
    static void TearDownTestSuite() { TClassRegistry::Global().UnregisterClass(Registered); }

    DefaultConversion()
    {
        Parser.SetOnGetPropertyValue([this](const QString &PropName, const QString &Value) {
            Lookups << PropName + u'=' + Value;
            return Value.compare(QStringLiteral("sales"), Qt::CaseInsensitive) == 0
                       ? QStringLiteral("DataModule1.Database1")
                       : QString();
        });
    }

    // The property lines of the object "object X: TypeName" with the given
    // property lines, converted for NewClass; without header and "end".
    QStringList convert(const QString &TypeName, const QString &NewClass, const QStringList &Body)
    {
        const QString Text = QStringLiteral("object X: ") + TypeName + QStringLiteral("\r\n  ") +
                             Body.join(QStringLiteral("\r\n  ")) + QStringLiteral("\r\nend\r\n");
        Parser.SetNewClassName(NewClass);
        int Pos = 1;
        EXPECT_TRUE(Parser.ParseString(Text, QStringLiteral("<object>"), Pos)) << Text.toStdString();
        QStringList Lines = Parser.MakeObject(0).split(QStringLiteral("\r\n"));
        EXPECT_GE(Lines.size(), 3);
        return Lines.mid(1, Lines.size() - 3); // header, "end" and the empty text after the last break
    }

    TFormParser Parser;
    QStringList Lookups;
};

} // namespace

TEST_F(DefaultConversion, RulesDecideByPropertyNameAndOldClass)
{
    struct Case
    {
        const char *TypeName;
        const char *NewClass;
        QStringList Body;
        QStringList Expected;
    };
    const QString Params = QStringLiteral("ParamData = <\r\n    item\r\n      Name = 'ID'\r\n    end>");
    const QStringList ParamsOut{"  ParamData = <", "        item", "          Name = 'ID'", "        end>"};
    const Case Cases[] = {
        // The database name of a TDatabase has no counterpart.
        {"TDatabase", "TTestOrxQuery", {"DatabaseName = 'SALES'", "Left = 24"}, {"  Left = 24"}},
        // A dataset's database name becomes the connection that defines it.
        {"TQuery", "TTestOrxQuery", {"DatabaseName = 'SALES'"}, {"  Connection = DataModule1.Database1"}},
        {"TTable", "TTestOrxQuery", {"DatabaseName = 'Other'"}, {}},
        {"TQuery", "TTestOrxQuery", {"DataSource = DataSource1"}, {"  MasterSource = DataSource1"}},
        // Rules match the old class exactly: InfoPower's query and a class
        // written in capitals go through the published-property filter.
        {"TwwQuery", "TTestOrxQuery", {"DataSource = DataSource1"}, {}},
        {"TQUERY", "TTestOrxQuery", {"DataSource = DataSource1"}, {}},
        {"TQUERY", "TNotRegisteredAnywhere", {"DataSource = DataSource1"}, {"  DataSource = DataSource1"}},
        {"TQuery", "TTestOrxQuery", {Params}, ParamsOut},
        {"TStoredProc", "TTestOrxQuery", {Params}, ParamsOut},
        {"TwwQuery", "TTestOrxQuery", {Params}, ParamsOut},
        {"TwwStoredProc", "TTestOrxQuery", {Params}, ParamsOut},
        {"TTable", "TTestOrxQuery", {Params}, {}},
        {"TTable", "TNotRegisteredAnywhere", {Params}, ParamsOut},
        // Index definitions are dropped for every class, known or not.
        {"TTable", "TNotRegisteredAnywhere", {"IndexDefs = <>", "Tag = 3"}, {"  Tag = 3"}},
        // The filter looks at the first part of a dotted name, ignores letter
        // case, and always lets the design-time position through.
        {"TQuery",
         "TTestOrxQuery",
         {"Font.Name = 'Arial'", "sql.Strings = (\r\n    'select 1')", "UniDirectional = True", "Left = 8", "Top = 16",
          "RequestLive = True"},
         {"  Font.Name = 'Arial'", "  sql.Strings = (", "        'select 1')", "  Left = 8", "  Top = 16"}},
        {"TQuery", "TNotRegisteredAnywhere", {"RequestLive = True", "UniDirectional = True"},
         {"  RequestLive = True", "  UniDirectional = True"}},
        {"TQuery", "", {"RequestLive = True"}, {"  RequestLive = True"}},
    };
    for (const Case &C : Cases) {
        SCOPED_TRACE(QStringLiteral("%1 -> %2: %3").arg(C.TypeName, C.NewClass, C.Body.join(" | ")).toStdString());
        EXPECT_EQ(convert(C.TypeName, C.NewClass, C.Body), C.Expected);
    }
}

TEST_F(DefaultConversion, DatabaseNameIsLookedUpWithItsStringValue)
{
    EXPECT_EQ(convert("TQuery", Registered, {"DatabaseName = 'Sales'"}),
              QStringList{"  Connection = DataModule1.Database1"});
    convert("TQuery", Registered, {"DatabaseName = 'It''s'"});
    convert("TQuery", Registered, {"DatabaseName = 'Caf'#233"});
    convert("TQuery", Registered, {"DatabaseName = ''"});
    // Backtracking may hand a property over more than once.
    Lookups.removeDuplicates();
    EXPECT_EQ(Lookups, (QStringList{"DatabaseName=Sales", "DatabaseName=It's", QString::fromUtf8("DatabaseName=Café"),
                                    "DatabaseName="}));

    // Without a handler nothing can be found, and nothing is written.
    Parser.SetOnGetPropertyValue({});
    EXPECT_EQ(convert("TQuery", Registered, {"DatabaseName = 'SALES'"}), QStringList{});
}

TEST_F(DefaultConversion, DatabaseParamsBecomeUsernamePasswordAndServer)
{
    struct Case
    {
        QStringList Items;
        QStringList Expected;
    };
    const Case Cases[] = {
        // Always in the order Username, Password, Server; other keys are lost.
        {{"'SERVER NAME=db:/data/sales.fdb'", "'PASSWORD=masterkey'", "'SQLPASSTHRU MODE=SHARED AUTOCOMMIT'",
          "'USER NAME=SYSDBA'"},
         {"  Username = 'SYSDBA'", "  Password = 'masterkey'", "  Server = 'db:/data/sales.fdb'"}},
        // Keys ignore letter case; an empty value writes nothing; the first
        // matching line wins; the value is everything after the first "=".
        {{"'user name=sysdba'", "'PASSWORD='", "'Password=second'"}, {"  Username = 'sysdba'"}},
        {{"'PASSWORD=a=b'", "'USER NAME=SYSDBA'", "'USER NAME=OTHER'"},
         {"  Username = 'SYSDBA'", "  Password = 'a=b'"}},
        // The value is written as a form string again: quotes doubled,
        // character codes kept as codes, continued strings joined.
        {{"'PASSWORD=it''s'"}, {"  Password = 'it''s'"}},
        {{"'USER NAME='#1055#1077#1090#1088#1086"}, {"  Username = #1055#1077#1090#1088#1086"}},
        {{"'USER NAME=Jo'#227'o'"}, {"  Username = 'Jo'#227'o'"}},
        {{"'PASSWORD=very' +\r\n      ' long'"}, {"  Password = 'very long'"}},
        {{"''", "'SERVER NAME=host'"}, {"  Server = 'host'"}},
        {{}, {}},
    };
    for (const Case &C : Cases) {
        SCOPED_TRACE(C.Items.join(" | ").toStdString());
        const QString List = QStringLiteral("Params.Strings = (\r\n    ") + C.Items.join(QStringLiteral("\r\n    ")) + u')';
        EXPECT_EQ(convert("TDatabase", Registered, {List, "LoginPrompt = False"}), C.Expected);
    }
    // The list of another class is an ordinary property.
    EXPECT_EQ(convert("TQuery", Unregistered, {"Params.Strings = (\r\n    'USER NAME=A')"}),
              (QStringList{"  Params.Strings = (", "        'USER NAME=A')"}));
}

TEST(FormStrings, UnquotedStringDecodesWhatAFormWriterWrites)
{
    const std::pair<const char *, const char *> Cases[] = {
        {"'SALES'", "SALES"},
        {"'It''s'", "It's"},
        {"''", ""},
        {"#65#$42'c'", "ABc"},
        {"'Caf'#233", "Café"},
        {"\r\n    'first' +\r\n    'second'", "firstsecond"},
        {"  'padded'  ", "padded"},
        // Not a string of a form: the text without its first and last
        // character, as a plain reading would take it.
        {"SALES", "ALE"},
        {"'unterminated", "unterminate"},
        {"x", ""},
        {"#99999", "9999"},
    };
    for (const auto &[Text, Expected] : Cases)
        EXPECT_EQ(unquotedString(QString::fromUtf8(Text)), QString::fromUtf8(Expected)) << Text;
}

TEST(FormStrings, QuotedStringWritesCodesForWhatIsNotPrintableAscii)
{
    const std::pair<const char *, const char *> Cases[] = {
        {"SYSDBA", "'SYSDBA'"},
        {"", "''"},
        {"it's", "'it''s'"},
        {"Café", "'Caf'#233"},
        {"Пр", "#1055#1088"},
        {"a\tb", "'a'#9'b'"},
    };
    for (const auto &[Value, Expected] : Cases) {
        const QString Text = QString::fromUtf8(Value);
        EXPECT_EQ(quotedString(Text), QString::fromUtf8(Expected)) << Value;
        EXPECT_EQ(unquotedString(quotedString(Text)), Text) << Value;
    }
}

TEST(FormStrings, StringListItemsReadsListsAndFallsBackToLines)
{
    EXPECT_EQ(stringListItems(u"(\r\n    'a=1'\r\n    ''\r\n    'b=' +\r\n    '2')"), (QStringList{"a=1", "", "b=2"}));
    EXPECT_EQ(stringListItems(u"()"), QStringList());
    // Not a list of strings: each line without its ends.
    EXPECT_EQ(stringListItems(u"(\r\n  'a=1'\r\n  b=2)"), (QStringList{"", "a=1", "="}));
    EXPECT_EQ(valueOfKey({"x", "KEY=", "key=2"}, u"Key"), QString());
    EXPECT_EQ(valueOfKey({"x", "Key Name=v=w"}, u"KEY NAME"), QStringLiteral("v=w"));
    EXPECT_EQ(valueOfKey({}, u"KEY"), QString());
}

TEST(ClassRegistry, FindsClassesAndPropertiesWithoutRegardToCase)
{
    TClassRegistry Registry;
    EXPECT_EQ(Registry.FindClass(u"TOrxQuery"), nullptr);
    Registry.RegisterClass("TOrxQuery", {"SQL", "Active"});
    ASSERT_NE(Registry.FindClass(u"torxquery"), nullptr);
    EXPECT_EQ(Registry.FindClass(u"TOrxQuery")->Count(), 2);
    EXPECT_TRUE(Registry.HasPublishedProperty(u"TOrxQuery", u"sql"));
    EXPECT_FALSE(Registry.HasPublishedProperty(u"TOrxQuery", u"SQL.Strings"));
    EXPECT_FALSE(Registry.HasPublishedProperty(u"TOrxTable", u"SQL"));

    // Registering again replaces the properties.
    Registry.RegisterClass("TORXQUERY", {"Params"});
    EXPECT_FALSE(Registry.HasPublishedProperty(u"TOrxQuery", u"SQL"));
    EXPECT_TRUE(Registry.HasPublishedProperty(u"TOrxQuery", u"Params"));
    Registry.UnregisterClass("TOrxQuery");
    EXPECT_TRUE(Registry.IsEmpty());
}

TEST(ClassRegistry, ObjectPropertiesCarryOnlyTheirSubProperties)
{
    const TPublishedProperties P({"Font", "Options."});
    EXPECT_TRUE(P.CarriesProperty(u"Font"));
    EXPECT_TRUE(P.CarriesProperty(u"Font.Name"));
    EXPECT_TRUE(P.CarriesProperty(u"Options.FetchAll"));
    EXPECT_FALSE(P.CarriesProperty(u"Options")) << "a set written for an object";
    EXPECT_FALSE(P.CarriesProperty(u"Color"));
}
