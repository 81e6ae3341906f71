#include "ProjectIde.h"

#include "FileUtils.h"
#include "TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {

// Just enough of Pascal to read a project's uses clause: identifiers (dotted
// ones included), quoted strings with their #nn character codes, and single
// symbols; blanks and the three kinds of comment (compiler directives among
// them) are skipped.
class TProjectLexer
{
public:
    enum TKind { Ident, String, Symbol, End };

    explicit TProjectLexer(const QString &Text)
        : FText(Text)
    {
    }

    TKind Next()
    {
        skipBlanksAndComments();
        FValue.clear();
        if (FPos >= FText.size())
            return End;
        const QChar C = FText.at(FPos);
        if (C == u'\'' || C == u'#') {
            readString();
            return String;
        }
        if (C == u'&' && FPos + 1 < FText.size() && isIdentStart(FText.at(FPos + 1)))
            ++FPos; // an escaped identifier such as &Type
        if (isIdentStart(FText.at(FPos))) {
            const qsizetype Start = FPos;
            while (FPos < FText.size()
                   && (isIdentPart(FText.at(FPos))
                       || (FText.at(FPos) == u'.' && FPos + 1 < FText.size() && isIdentStart(FText.at(FPos + 1)))))
                ++FPos;
            FValue = FText.mid(Start, FPos - Start);
            return Ident;
        }
        FValue = C;
        ++FPos;
        return Symbol;
    }

    const QString &Value() const { return FValue; }

private:
    static bool isIdentStart(QChar C) { return C.isLetter() || C == u'_'; }
    static bool isIdentPart(QChar C) { return C.isLetterOrNumber() || C == u'_'; }
    static bool isHexDigit(QChar C)
    {
        return (C >= u'0' && C <= u'9') || (C >= u'a' && C <= u'f') || (C >= u'A' && C <= u'F');
    }

    bool lookingAt(QStringView S) const { return QStringView(FText).mid(FPos).startsWith(S); }

    void skipTo(QStringView Terminator)
    {
        const qsizetype At = FText.indexOf(Terminator, FPos);
        FPos = At < 0 ? FText.size() : At + Terminator.size();
    }

    void skipBlanksAndComments()
    {
        while (FPos < FText.size()) {
            const QChar C = FText.at(FPos);
            if (C.isSpace()) {
                ++FPos;
            } else if (C == u'{') {
                ++FPos;
                skipTo(u"}");
            } else if (lookingAt(u"(*")) {
                FPos += 2;
                skipTo(u"*)");
            } else if (lookingAt(u"//")) {
                while (FPos < FText.size() && FText.at(FPos) != u'\n' && FText.at(FPos) != u'\r')
                    ++FPos;
            } else {
                return;
            }
        }
    }

    void readString()
    {
        while (FPos < FText.size()) {
            const QChar C = FText.at(FPos);
            if (C == u'\'') {
                ++FPos;
                while (FPos < FText.size()) {
                    const QChar D = FText.at(FPos++);
                    if (D != u'\'') {
                        FValue += D;
                    } else if (FPos < FText.size() && FText.at(FPos) == u'\'') {
                        FValue += D;
                        ++FPos;
                    } else {
                        break;
                    }
                }
            } else if (C == u'#') {
                ++FPos;
                const bool Hex = FPos < FText.size() && FText.at(FPos) == u'$';
                if (Hex)
                    ++FPos;
                const qsizetype Start = FPos;
                while (FPos < FText.size()
                       && (Hex ? isHexDigit(FText.at(FPos)) : FText.at(FPos).isDigit()))
                    ++FPos;
                const uint Code = FText.mid(Start, FPos - Start).toUInt(nullptr, Hex ? 16 : 10);
                if (Code > 0 && Code <= 0xFFFF)
                    FValue += QChar(char16_t(Code));
            } else {
                return;
            }
        }
    }

    const QString &FText;
    qsizetype FPos = 0;
    QString FValue;
};

bool isKeyword(const QString &Ident, QStringView Keyword)
{
    return QStringView(Ident).compare(Keyword, Qt::CaseInsensitive) == 0;
}

// Full path of a unit named in a project file, relative names taken from the
// project's folder, with the letter case found on disk.
QString resolveUnitPath(const QString &ProjectFolder, const QString &Written)
{
    QString Path = NativePath(Written);
    if (QDir::isRelativePath(Path))
        Path = JoinPath(ProjectFolder, Path);
    return ResolvePathCase(QDir::toNativeSeparators(QDir::cleanPath(Path)));
}

} // namespace

QStringList TProjectFileIde::ParseProjectSource(const QString &Text)
{
    QStringList Paths;
    TProjectLexer Lexer(Text);
    TProjectLexer::TKind Kind = Lexer.Next();
    while (Kind != TProjectLexer::End) {
        if (Kind != TProjectLexer::Ident || !isKeyword(Lexer.Value(), u"uses")) {
            Kind = Lexer.Next();
            continue;
        }
        // Entries: Name [in 'path'], separated by commas, up to ";".
        Kind = Lexer.Next();
        while (Kind == TProjectLexer::Ident) {
            Kind = Lexer.Next();
            if (Kind == TProjectLexer::Ident && isKeyword(Lexer.Value(), u"in")) {
                Kind = Lexer.Next();
                if (Kind == TProjectLexer::String) {
                    if (!Lexer.Value().isEmpty())
                        Paths << Lexer.Value();
                    Kind = Lexer.Next();
                }
            }
            if (Kind != TProjectLexer::Symbol || Lexer.Value() != u",")
                break;
            Kind = Lexer.Next();
        }
    }
    return Paths;
}

bool TProjectFileIde::ParseMsBuildProject(const QByteArray &Xml, QStringList &Paths, QString *Error)
{
    Paths.clear();
    QXmlStreamReader Reader(Xml);
    while (!Reader.atEnd()) {
        if (Reader.readNext() != QXmlStreamReader::StartElement || Reader.name() != u"DCCReference")
            continue;
        const QString Include = Reader.attributes().value(QLatin1String("Include")).toString();
        if (Include.isEmpty() || Include.endsWith(u".dcp", Qt::CaseInsensitive))
            continue;
        Paths << Include;
    }
    if (Reader.hasError()) {
        if (Error)
            *Error = QStringLiteral("line %1, column %2: %3")
                         .arg(Reader.lineNumber())
                         .arg(Reader.columnNumber())
                         .arg(Reader.errorString());
        Paths.clear();
        return false;
    }
    return true;
}

QString TProjectFileIde::ModuleFileName(int Index) const
{
    return Index >= 0 && Index < FModules.size() ? FModules.at(Index) : QString();
}

bool TProjectFileIde::CloseProjectGroup()
{
    FProjectFileName.clear();
    FModules.clear();
    return true;
}

bool TProjectFileIde::OpenProject(const QString &ProjName)
{
    CloseProjectGroup();
    FErrorString.clear();
    if (ProjName.isEmpty()) {
        FErrorString = QStringLiteral("No project file name given.");
        return false;
    }
    const QString FileName = ResolvePathCase(QDir::toNativeSeparators(QFileInfo(NativePath(ProjName)).absoluteFilePath()));
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly)) {
        FErrorString = QStringLiteral("Cannot open project \"%1\": %2").arg(FileName, File.errorString());
        return false;
    }
    const QByteArray Bytes = File.readAll();
    QStringList Written;
    if (FileName.endsWith(u".dproj", Qt::CaseInsensitive)) {
        QString Error;
        if (!ParseMsBuildProject(Bytes, Written, &Error)) {
            FErrorString = QStringLiteral("Malformed project file \"%1\": %2").arg(FileName, Error);
            return false;
        }
    } else {
        TTextEncoding Encoding;
        Written = ParseProjectSource(TextCodec::DecodeFile(Bytes, Encoding));
    }
    const QString Folder = QDir::toNativeSeparators(QFileInfo(FileName).absolutePath());
    for (const QString &Path : std::as_const(Written))
        FModules << resolveUnitPath(Folder, Path);
    FProjectFileName = FileName;
    return true;
}

bool TProjectFileIde::ReloadFile(const QString &FileName)
{
    Q_UNUSED(FileName);
    return true;
}
