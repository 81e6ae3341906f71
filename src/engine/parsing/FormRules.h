// The grammar of one object of a form file in text form: its header line, its
// properties with their values, its nested objects and its closing "end".
// The form parser adds these rules to its grammar engine in this order and
// starts each parse with "<object>" at the object's keyword.
#pragma once

#include <QStringList>

constexpr int FormRuleCount = 41;

// The 41 rule strings, exactly as the grammar engine receives them.
const QStringList &FormRules();
