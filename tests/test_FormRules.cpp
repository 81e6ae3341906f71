// The form-text grammar: the rule table and the order in which the prepared
// alternatives of each nonterminal are tried.
#include "FormRules.h"
#include "LL1Parser.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

class FormRulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString &Rule : FormRules())
            Parser.AddRule(Rule);
        Parser.PrepareRules();
    }
    TLL1Parser Parser;
};

} // namespace

TEST(FormRulesTable, RulesWithTheirHeads)
{
    ASSERT_EQ(FormRules().size(), FormRuleCount);
    EXPECT_TRUE(FormRules().first().startsWith("<obj_header>-"));
    EXPECT_EQ(FormRules()[38], "<collection>-\\60<empty_delim><col_items><empty_delim>\\62");
    EXPECT_TRUE(FormRules().last().startsWith("<hex_list>-"));
}

TEST_F(FormRulesTest, PreparedAlternativesComeInTheirTryingOrder)
{
    struct Row { QString Head; QStringList Alternatives; };
    const Row Rows[] = {
        {"<object>",
         {"<obj_header><*delim>end<*delim>", "<obj_header><*delim>end", "<obj_header><*delim><properties>end<*delim>",
          "<obj_header><*delim><properties>end"}},
        {"<keyword>", {"object", "inline", "inherited"}},
        {"<name>", {"<*char><*chars_or_digits>", "<*char>"}},
        {"<properties>", {"<prop><properties>", "<prop>", "<nested_obj><properties>", "<nested_obj>"}},
        {"<prop>",
         {"<full_prop_name>=<prop_value><*delim>", "<full_prop_name>=<*delim><prop_value><*delim>",
          "<full_prop_name><*delim>=<prop_value><*delim>", "<full_prop_name><*delim>=<*delim><prop_value><*delim>"}},
        {"<value>",
         {"<strings>", "<string>", "<string2>", "<set>", "<numeric_date>", "<numbers>", "<number>", "<name>.<name>",
          "<const>", "<collection>", "<binary>"}},
        {"<string>", {"'<*symbols>'<string>", "'<*symbols>'", "''<string>", "''", "<bytes><string>", "<bytes>"}},
        {"<col_item>", {"item<*delim><item_props>end"}},
        {"<col_items>",
         {"<col_item><*delim><col_item><*delim><col_items>", "<col_item><*delim><col_item>", "<col_item><*delim>",
          "<col_item>"}},
        {"<empty_delim>", {"<*delim>"}},
        {"<item_props>", {"<*delim>", "<item_prop><*delim><item_props>", "<item_prop><*delim>"}},
    };
    for (const Row &R : Rows)
        EXPECT_EQ(Parser.Alternatives(R.Head), R.Alternatives) << R.Head.toStdString();
    // Each header is tried with an order index behind its class first.
    const QStringList Header = Parser.Alternatives("<obj_header>");
    ASSERT_EQ(Header.size(), 12) << ::testing::PrintToString(Header);
    for (int I = 0; I < 12; I += 3) {
        EXPECT_EQ(Header[I], Header[I + 2] + "<order_index>");
        EXPECT_EQ(Header[I + 1], Header[I + 2] + "<*delim><order_index>");
    }
}

TEST_F(FormRulesTest, JoinedStringsTryEveryPlusFormBeforeTheSingleString)
{
    const QStringList String2 = Parser.Alternatives("<string2>");
    ASSERT_EQ(String2.size(), 9);
    for (int I = 0; I < 8; ++I)
        EXPECT_TRUE(String2[I].contains('+')) << String2[I].toStdString();
    EXPECT_EQ(String2.last(), "<string>");
}

TEST_F(FormRulesTest, InlinedNonterminalsAreReferencedNoMore)
{
    // Every nonterminal whose empty alternative was inlined has gone from the
    // alternatives of all others.
    const QStringList Inlined = {"<empty_delim>", "<sign>", "<symbols>", "<char_or_digit_l>"};
    for (const QString &Rule : FormRules()) {
        const QString Head = Rule.left(Rule.indexOf('>') + 1);
        for (const QString &Alternative : Parser.Alternatives(Head))
            for (const QString &Gone : Inlined)
                EXPECT_FALSE(Alternative.contains(Gone)) << Head.toStdString() << ": " << Alternative.toStdString();
    }
}
