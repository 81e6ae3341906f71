#include "RegIniFile.h"

#include <QSettings>
#include <QStringList>

namespace {

// QSettings takes "/" and "\" in a key as group separators; "%" is escaped
// too so that the escaping can be undone unambiguously.
QString escapeName(const QString &Name)
{
    QString Result;
    Result.reserve(Name.size());
    for (const QChar C : Name) {
        if (C == u'%')
            Result += QStringLiteral("%25");
        else if (C == u'/')
            Result += QStringLiteral("%2F");
        else if (C == u'\\')
            Result += QStringLiteral("%5C");
        else
            Result += C;
    }
    return Result;
}

QString settingsKey(const QString &Section, const QString &Key)
{
    return escapeName(Section) + u'/' + escapeName(Key);
}

} // namespace

TRegIniFile::TRegIniFile(const QString &KeyPath)
    : FKeyPath(KeyPath)
{
    QStringList Parts = QString(KeyPath).replace(u'/', u'\\').split(u'\\', Qt::SkipEmptyParts);
    if (!Parts.isEmpty() && Parts.front().compare(QStringLiteral("Software"), Qt::CaseInsensitive) == 0)
        Parts.removeFirst();
    const QString Organization = Parts.isEmpty() ? QStringLiteral("Halvane") : Parts.takeFirst();
    const QString Application = Parts.join(u'/');
    FSettings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, Organization, Application);
}

TRegIniFile::TRegIniFile(const QString &KeyPath, const QString &IniFileName)
    : FKeyPath(KeyPath)
    , FSettings(std::make_unique<QSettings>(IniFileName, QSettings::IniFormat))
{
}

TRegIniFile::~TRegIniFile()
{
    FSettings->sync();
}

QString TRegIniFile::FileName() const
{
    return FSettings->fileName();
}

int TRegIniFile::ReadInteger(const QString &Section, const QString &Key, int Default) const
{
    const QVariant Value = FSettings->value(settingsKey(Section, Key));
    if (!Value.isValid())
        return Default;
    bool Ok = false;
    const int Result = Value.toString().trimmed().toInt(&Ok);
    return Ok ? Result : Default;
}

void TRegIniFile::WriteInteger(const QString &Section, const QString &Key, int Value)
{
    FSettings->setValue(settingsKey(Section, Key), QString::number(Value));
}

QString TRegIniFile::ReadString(const QString &Section, const QString &Key, const QString &Default) const
{
    const QVariant Value = FSettings->value(settingsKey(Section, Key));
    if (!Value.isValid())
        return Default;
    // A hand-edited value with an unquoted comma reads back as a list.
    if (Value.typeId() == QMetaType::QStringList)
        return Value.toStringList().join(QStringLiteral(", "));
    return Value.toString();
}

void TRegIniFile::WriteString(const QString &Section, const QString &Key, const QString &Value)
{
    FSettings->setValue(settingsKey(Section, Key), Value);
}

bool TRegIniFile::ReadBool(const QString &Section, const QString &Key, bool Default) const
{
    const QVariant Value = FSettings->value(settingsKey(Section, Key));
    if (!Value.isValid())
        return Default;
    const QString Text = Value.toString().trimmed();
    bool Ok = false;
    const int Number = Text.toInt(&Ok);
    if (Ok)
        return Number != 0;
    if (Text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (Text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    return Default;
}

void TRegIniFile::WriteBool(const QString &Section, const QString &Key, bool Value)
{
    WriteInteger(Section, Key, Value ? 1 : 0);
}

bool TRegIniFile::ValueExists(const QString &Section, const QString &Key) const
{
    return FSettings->contains(settingsKey(Section, Key));
}

void TRegIniFile::DeleteKey(const QString &Section, const QString &Key)
{
    FSettings->remove(settingsKey(Section, Key));
}

bool TRegIniFile::UpdateFile()
{
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
}
