#include "LogWriter.h"

#include "Errors.h"
#include "TextCodec.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

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
    auto File = std::make_unique<QFile>(FileName);
#ifdef Q_OS_WIN
    if (QFileInfo(FileName).isSymLink())
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". It is a symbolic link; the log is not "
                                           "written through it.").arg(FileName));
    if (!File->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(FileName, File->errorString()));
#else
    // Never through a symbolic link: truncating its target would destroy a
    // file that nobody backed up. O_NOFOLLOW makes the test and the opening
    // one step.
    const int Fd = ::open(QFile::encodeName(FileName).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (Fd < 0) {
        const int Code = errno;
        if (Code == ELOOP)
            throw EFCreateError(QStringLiteral("Cannot create file \"%1\". It is a symbolic link; the log is not "
                                               "written through it.").arg(FileName));
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(FileName, QString::fromLocal8Bit(std::strerror(Code))));
    }
    if (!File->open(Fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(Fd);
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(FileName, File->errorString()));
    }
#endif
    FLogFile = std::move(File);
    FFileName = FileName;
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
    if (!FLogFile)
        return;
    QString Text;
    if (Str == QLatin1String(" ") || Str.isEmpty()) {
        Text = QStringLiteral("\r\n");
    } else {
        Text = Str;
        if (!Str.endsWith(u'\n') && !Str.endsWith(u'\r'))
            Text += QLatin1String("\r\n");
    }
    if (FEmptyLineAfterString)
        Text += QLatin1String("\r\n");
    const QByteArray Bytes = TextCodec::EncodeAnsi(Text);
    FLogFile->write(Bytes);
    FLogFile->flush(); // a log that ends where a crash struck is the useful one
}

void TLogWriter::Write(const void *Buffer, int Size)
{
    if (FLogFile && Size > 0)
        FLogFile->write(static_cast<const char *>(Buffer), Size);
}
