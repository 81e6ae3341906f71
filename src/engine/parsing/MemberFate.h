// What the conversion of a form does to one property of an object whose
// class it converts, put as the question that code using the property asks:
// is the member still there under its name, under another name, or gone? The
// form parser answers it from the same rules with which it converts forms
// (TFormParser::MemberFate), so that code and forms follow one table.
#pragma once

#include <QString>

struct TMemberFate
{
    enum class TKind {
        Kept,     // the new class has it under the same name (or nothing is known)
        Renamed,  // the same property under another name: Target
        Missing,  // the old class publishes it, the new class has no such member
        Replaced, // expressed in another way: set Target instead
    };
    TKind Kind = TKind::Kept;
    QString Target;
    // How many parts of the member path the answer covers: 2 when a rule
    // names "AutoUpdateOptions.KeyFields" as a whole, 1 otherwise.
    int Parts = 1;

    bool IsKept() const { return Kind == TKind::Kept; }
};
