#include "LogWriter.h"

#include "Errors.h"
#include "FileSystem.h"
#include "TextCodec.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>


TLogWriter::TLogWriter() : FCreationTimeString(QStringLiteral("Log created at:"))
{
}

TLogWriter::~TLogWriter()
{
    CloseLogFile();
}

QString TLogWriter::FormatDateTime(const QDateTime &When)
{
    const QLocale Locale = QLocale::system();
    QString Text = Locale.toString(When.date(), QLocale::ShortFormat);
    if (When.time() != QTime(0, 0)) {
        // The long time format without the time zone, which the log has no
        // use for.
        QString Format = Locale.timeFormat(QLocale::LongFormat);
        Format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
        Text += u' ' + Locale.toString(When.time(), Format.trimmed());
    }
    return Text;
}

void TLogWriter::OpenLogFile(const QString &FileName)
{
    CloseLogFile();
    // Never through a symbolic link: truncating its target would destroy a
    // file that nobody backed up.
    auto File = std::make_unique<QFile>(FileName);
    QString Error;
    if (!CreateFileNoFollow(*File, FileName, &Error))
        throw EFCreateError(Error);
    FLogFile = std::move(File);
    FFileName = FileName;
    FWriteError.clear();
    if (!FHeader.isEmpty())
        WriteLine(FHeader);
    WriteLine(FCreationTimeString + u' ' + FormatDateTime(QDateTime::currentDateTime()));
}

void TLogWriter::CloseLogFile()
{
    if (FLogFile) {
        FLogFile->close();
        FLogFile.reset();
    }
}

bool TLogWriter::IsOpen() const
{
    return FLogFile != nullptr;
}

void TLogWriter::WriteLine(const QString &Str)
{
    WriteLines(QStringList{Str});
}

void TLogWriter::WriteLines(const QStringList &Lines)
{
    if (!FLogFile || Lines.isEmpty())
        return;
    QString Text;
    for (const QString &Str : Lines) {
        if (Str == QLatin1String(" ") || Str.isEmpty()) {
            Text += QLatin1String("\r\n");
        } else {
            Text += Str;
            if (!Str.endsWith(u'\n') && !Str.endsWith(u'\r'))
                Text += QLatin1String("\r\n");
        }
        if (FEmptyLineAfterString)
            Text += QLatin1String("\r\n");
    }
    const QByteArray Bytes = TextCodec::EncodeAnsi(Text);
    // Flushed at once: a log that ends where a crash struck is the useful one.
    if ((FLogFile->write(Bytes) != Bytes.size() || !FLogFile->flush()) && FWriteError.isEmpty())
        FWriteError = QStringLiteral("Cannot write the log \"%1\". %2").arg(FFileName, FLogFile->errorString());
}

void TLogWriter::Write(const void *Buffer, int Size)
{
    if (FLogFile && Size > 0)
        FLogFile->write(static_cast<const char *>(Buffer), Size);
}
