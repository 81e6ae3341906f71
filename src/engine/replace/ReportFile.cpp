#include "ReportFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool consequenceFromName(const QString &Name, TConsequence &Consequence)
{
    for (int I = 0; I < ConsequenceCount; ++I)
        if (Name == QLatin1String(TWorkReport::ConsequenceName(TConsequence(I)))) {
            Consequence = TConsequence(I);
            return true;
        }
    return false;
}

} // namespace

QString TReportFile::ConsequenceText(TConsequence Consequence)
{
    return QString::fromLatin1(TWorkReport::ConsequenceText(Consequence));
}

QString TReportFile::ConsequenceName(TConsequence Consequence)
{
    return QString::fromLatin1(TWorkReport::ConsequenceName(Consequence));
}

TConsequence TReportFile::ConsequenceOfKind(const QString &Kind)
{
    if (Kind == QLatin1String("objectNotConverted"))
        return TConsequence::WillNotLoad;
    if (Kind == QLatin1String("leftInCode") || Kind == QLatin1String("apiCall"))
        return TConsequence::WillNotCompile;
    if (Kind == QLatin1String("droppedEvent") || Kind == QLatin1String("unknownDatabase"))
        return TConsequence::BehavesDifferently;
    return TConsequence::Information;
}

bool TReportFile::FromJson(const QByteArray &Json, const QString &JsonFolder, TReportFile &Report, QString *Error)
{
    QJsonParseError Parse;
    const QJsonDocument Document = QJsonDocument::fromJson(Json, &Parse);
    if (!Document.isObject()) {
        if (Error)
            *Error = Parse.error != QJsonParseError::NoError
                         ? QStringLiteral("not a report of work left: %1 at byte %2").arg(Parse.errorString()).arg(Parse.offset)
                         : QStringLiteral("not a report of work left: no JSON object");
        return false;
    }
    const QJsonObject Root = Document.object();
    const QJsonValue Items = Root.value(QStringLiteral("items"));
    if (!Items.isArray()) {
        if (Error)
            *Error = QStringLiteral("not a report of work left: it has no \"items\" array");
        return false;
    }
    Report = TReportFile();
    Report.Base = Root.value(QStringLiteral("base")).toString();
    if (Report.Base.isEmpty())
        Report.Base = JsonFolder;
    for (const QJsonValue &Value : Items.toArray()) {
        const QJsonObject Item = Value.toObject();
        TReportRow Row;
        Row.Kind = Item.value(QStringLiteral("kind")).toString();
        if (!consequenceFromName(Item.value(QStringLiteral("consequence")).toString(), Row.Consequence))
            Row.Consequence = ConsequenceOfKind(Row.Kind);
        Row.File = Item.value(QStringLiteral("file")).toString();
        Row.Line = Item.value(QStringLiteral("line")).toInt();
        Row.Object = Item.value(QStringLiteral("object")).toString();
        Row.Name = Item.value(QStringLiteral("name")).toString();
        Row.Value = Item.value(QStringLiteral("value")).toString();
        Row.Detail = Item.value(QStringLiteral("detail")).toString();
        ++Report.Counts[size_t(Row.Consequence)];
        Report.Rows.push_back(std::move(Row));
    }
    return true;
}
