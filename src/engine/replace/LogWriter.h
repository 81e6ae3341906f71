// TLogWriter: the plain-text log of a replace run. Lines are written in the
// ANSI code page with CR LF line ends; while no file is open every write does
// nothing, so a run writes its lines unconditionally and the WriteLog option
// only decides whether the file is opened.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QFile;

class TLogWriter
{
public:
    TLogWriter();
    ~TLogWriter();
    TLogWriter(const TLogWriter &) = delete;
    TLogWriter &operator=(const TLogWriter &) = delete;

    const QString &Header() const { return FHeader; }
    void SetHeader(const QString &Value) { FHeader = Value; }
    const QString &CreationTimeString() const { return FCreationTimeString; }
    void SetCreationTimeString(const QString &Value) { FCreationTimeString = Value; }
    bool EmptyLineAfterString() const { return FEmptyLineAfterString; }
    void SetEmptyLineAfterString(bool Value) { FEmptyLineAfterString = Value; }

    // Creates the file anew and writes the header (when not empty) and the
    // creation line. Raises EFCreateError naming the file when it cannot be
    // created.
    void OpenLogFile(const QString &FileName);
    void CloseLogFile();
    bool IsOpen() const;
    const QString &FileName() const { return FFileName; }

    // Writes Str and a line break (unless Str already ends with one); " "
    // writes an empty line. With EmptyLineAfterString an empty line follows.
    void WriteLine(const QString &Str);
    // WriteLine for each of Lines, in one write (a converted file's lines).
    void WriteLines(const QStringList &Lines);
    // Writes Size bytes unchanged while a file is open.
    void Write(const void *Buffer, int Size);
    // The first write to the open log that failed (a full disk), naming the
    // file and the reason; empty while every write succeeded. Opening a log
    // clears it.
    const QString &WriteError() const { return FWriteError; }

    // The current local date and time as the log shows it: the short date
    // format, a blank and the long time format; the time is left out at
    // exactly midnight.
    static QString FormatDateTime(const class QDateTime &When);

private:
    std::unique_ptr<QFile> FLogFile;
    QString FFileName;
    QString FHeader;
    QString FCreationTimeString;
    bool FEmptyLineAfterString = false;
    QString FWriteError;
};
