// TReportFile: the JSON report of work left (TWorkReport::ToJson, the file of
// `migwiz replace --report`) as a reader takes it in: every item with its
// consequence, file, line and object, and the counts by consequence. Reports
// written before items carried their consequence are read as well: the
// consequence then follows from the item's kind. Kinds are open: one this
// reader does not know is kept as written, "for information".
#pragma once

#include "WorkReport.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

struct TReportRow
{
    TConsequence Consequence = TConsequence::Information;
    QString Kind;
    QString File; // absolute, as written
    int Line = 0; // one-based; 0 when unknown
    QString Object, Name, Value, Detail;
};

struct TReportFile
{
    QString Base; // the run's folder; the JSON file's folder when not written
    std::vector<TReportRow> Rows;
    std::array<int, ConsequenceCount> Counts{}; // by consequence

    // Reads a report. False, with the reason in Error, for bytes that are no
    // JSON object or whose items are no array. JsonFolder stands in for a
    // missing "base".
    static bool FromJson(const QByteArray &Json, const QString &JsonFolder, TReportFile &Report, QString *Error);

    // "will not compile", "will not load", "behaves differently", "for information".
    static QString ConsequenceText(TConsequence Consequence);
    // "willNotCompile", ... as the JSON names them.
    static QString ConsequenceName(TConsequence Consequence);
    // The consequence of an item of that kind when the report does not say.
    static TConsequence ConsequenceOfKind(const QString &Kind);
};
