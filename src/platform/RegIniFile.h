// TRegIniFile: the settings store of the wizard, read and written as integer,
// string and Boolean values per section and key. It stands where the
// registry-backed INI class of the original stood, over QSettings in INI
// format (an .ini file on every platform).
//
// Section and key names are stored as given: "/" and "\" (which QSettings
// would take as group separators) are escaped, so a section such as
// "BDE/IBX/FibPlus Migration Wizard" round-trips as one section.
#pragma once

#include <QString>
#include <memory>

class QSettings;

class TRegIniFile
{
public:
    // Opens the store of a registry key path such as "Software\Halvane\Orvex":
    // the user's config folder, organization "Halvane", application "Orvex"
    // (the components after a leading "Software"; further components become
    // subfolders).
    explicit TRegIniFile(const QString &KeyPath);
    // Opens the given .ini file instead; KeyPath is kept for FileName() only.
    TRegIniFile(const QString &KeyPath, const QString &IniFileName);
    // Writes pending changes to disk.
    ~TRegIniFile();

    TRegIniFile(const TRegIniFile &) = delete;
    TRegIniFile &operator=(const TRegIniFile &) = delete;

    // The key path given at construction.
    const QString &KeyPath() const { return FKeyPath; }
    // The .ini file that holds the values.
    QString FileName() const;

    // A value that is absent, or not an integer, reads as Default.
    int ReadInteger(const QString &Section, const QString &Key, int Default) const;
    void WriteInteger(const QString &Section, const QString &Key, int Value);

    QString ReadString(const QString &Section, const QString &Key, const QString &Default) const;
    void WriteString(const QString &Section, const QString &Key, const QString &Value);

    // Booleans are stored as the integers 1 and 0; any non-zero integer (and
    // "true") reads as true, "false" as false, anything else as Default.
    bool ReadBool(const QString &Section, const QString &Key, bool Default) const;
    void WriteBool(const QString &Section, const QString &Key, bool Value);

    bool ValueExists(const QString &Section, const QString &Key) const;
    void DeleteKey(const QString &Section, const QString &Key);

    // Writes pending changes; false when the file could not be written.
    bool UpdateFile();

private:
    QString FKeyPath;
    std::unique_ptr<QSettings> FSettings;
};
