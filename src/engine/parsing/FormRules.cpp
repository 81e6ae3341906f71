#include "FormRules.h"

// "<empty_delim>" and the other rules ending in "|" have an empty alternative,
// which the engine inlines into every use when it prepares the rules. The
// collection rule writes its angle brackets as "\60" and "\62" so that they
// are not read as the rule's own brackets.
const QStringList &FormRules()
{
    static const QStringList Rules = {
        // A component of a descendant form may carry its order among its
        // siblings behind its class: "object trWrite: TpFIBTransaction [5]".
        QStringLiteral("<obj_header>-<keyword><*delim><obj_name><empty_delim>:<empty_delim><obj_type><empty_delim>"
                       "<order_index>|<keyword><*delim><obj_name><empty_delim>:<empty_delim><obj_type>"),
        QStringLiteral("<order_index>-[<empty_delim><int><empty_delim>]"),
        QStringLiteral("<obj_name>-<name>"),
        QStringLiteral("<obj_type>-<name>"),
        QStringLiteral("<object>-<obj_header><*delim><properties>end<empty_delim>|<obj_header><*delim>end<empty_delim>"),
        QStringLiteral("<keyword>-object|inherited|inline"),
        QStringLiteral("<name>-<*char><char_or_digit_l>"),
        QStringLiteral("<char_or_digit_l>-<*chars_or_digits>|"),
        QStringLiteral("<properties>-<prop>|<nested_obj>|<prop><properties>|<nested_obj><properties>"),
        QStringLiteral("<nested_obj>-<object>"),
        QStringLiteral("<prop>-<full_prop_name><empty_delim>=<empty_delim><prop_value><*delim>"),
        QStringLiteral("<full_prop_name>-<prop_name>"),
        QStringLiteral("<prop_value>-<value>"),
        QStringLiteral("<prop_name>-<name>|<name>.<prop_name>"),
        QStringLiteral("<empty_delim>-<*delim>|"),
        QStringLiteral("<value>-<numeric_date>|<number>|<const>|<string>|<string2>|<strings>|<numbers>|<set>|"
                       "<collection>|<binary>|<name>.<name>"),
        QStringLiteral("<sign>-+|-|"),
        QStringLiteral("<int>-<sign><*digits>"),
        QStringLiteral("<fixed_point>-<int>.<*digits>"),
        QStringLiteral("<float>-<fixed_point>e<int>|<int>e<int>"),
        QStringLiteral("<number>-<sign><*digits>.<*digits>e<int>|<sign><*digits>e<int>|<sign><*digits>.<*digits>|"
                       "<sign><*digits>"),
        QStringLiteral("<numeric_date>-<*digits>d"),
        QStringLiteral("<symbols>-<*symbols>|"),
        QStringLiteral("<byte>-#<*digits>"),
        QStringLiteral("<bytes>-<byte>|<byte><bytes>"),
        QStringLiteral("<string>-'<symbols>'|<bytes>|<bytes><string>|'<symbols>'<string>"),
        QStringLiteral("<string2>-<string>|<empty_delim><string><empty_delim>+<empty_delim><string2>"),
        QStringLiteral("<const>-<name>"),
        QStringLiteral("<number_list>-<number>|<number><*delim><number_list>|"),
        QStringLiteral("<numbers>-(<empty_delim><number_list><empty_delim>)"),
        QStringLiteral("<string_list>-<string2>|<string2><*delim><string_list>|"),
        QStringLiteral("<strings>-(<empty_delim><string_list><empty_delim>)"),
        QStringLiteral("<set_items>-<name>|<name><empty_delim>,<empty_delim><set_items>"),
        QStringLiteral("<set>-[<empty_delim>]|[<empty_delim><set_items><empty_delim>]"),
        QStringLiteral("<item_prop>-<prop_name><empty_delim>=<empty_delim><value>"),
        QStringLiteral("<item_props>-<item_prop><*delim><item_props>|<item_prop><*delim>|<*delim>"),
        QStringLiteral("<col_item>-item<*delim><item_props>end"),
        QStringLiteral("<col_items>-<col_item><*delim><col_items>|<col_item>|"),
        QStringLiteral("<collection>-\\60<empty_delim><col_items><empty_delim>\\62"),
        QStringLiteral("<binary>-{<empty_delim><hex_list><empty_delim>}"),
        QStringLiteral("<hex_list>-<*hexs>|<*hexs><*delim><hex_list>|"),
    };
    return Rules;
}
