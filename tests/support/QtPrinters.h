// Lets GoogleTest print Qt texts readably in failure messages.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString &S, std::ostream *Os)
{
    *Os << '"' << S.toUtf8().replace("\r", "\\r").replace("\n", "\\n\n").constData() << '"';
}

inline void PrintTo(const QStringList &L, std::ostream *Os)
{
    *Os << "{";
    for (const QString &S : L) {
        PrintTo(S, Os);
        *Os << ", ";
    }
    *Os << "}";
}
