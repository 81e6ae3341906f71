#include "Replacer.h"

#include "CaseCompare.h"

#include "ClassRegistry.h"
#include "CodeScan.h"
#include "ComponentStream.h"
#include "Errors.h"
#include "FileUtils.h"
#include "IDEUtils.h"
#include "FormParser.h"
#include "PasParser.h"
#include "RExpertRes.h"
#include "RegIniFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------
// TReplaceOptions

TReplaceOptions::TReplaceOptions(const QString &ASourceName) : FSourceName(ASourceName)
{
}

QString TReplaceOptions::Caption() const
{
    return FSourceName + RExpertRes::sMigrationWizard;
}

void TReplaceOptions::LoadFromIniFile(TRegIniFile &IniFile, const QString &Section)
{
    // A Dest value other than 0 or 1 is kept as it is; the wizard sets Dest
    // again before every run, and the run treats anything but sdProject as a
    // folder.
    Dest = static_cast<TSearchDestination>(IniFile.ReadInteger(Section, QStringLiteral("Dest"), int(Dest)));
    Directory = IniFile.ReadString(Section, QStringLiteral("Directory"), Directory);
    IncludeSubDirs = IniFile.ReadBool(Section, QStringLiteral("IncludeSubDirs"), IncludeSubDirs);
    MakeBackup = IniFile.ReadBool(Section, QStringLiteral("MakeBackup"), MakeBackup);
    WriteLog = IniFile.ReadBool(Section, QStringLiteral("WriteLog"), WriteLog);
    ViewLog = IniFile.ReadBool(Section, QStringLiteral("ViewLog"), ViewLog);
    RenameMembers = IniFile.ReadBool(Section, QStringLiteral("RenameMembers"), RenameMembers);
}

void TReplaceOptions::SaveToIniFile(TRegIniFile &IniFile, const QString &Section) const
{
    IniFile.WriteInteger(Section, QStringLiteral("Dest"), int(Dest));
    IniFile.WriteString(Section, QStringLiteral("Directory"), Directory);
    IniFile.WriteBool(Section, QStringLiteral("IncludeSubDirs"), IncludeSubDirs);
    IniFile.WriteBool(Section, QStringLiteral("MakeBackup"), MakeBackup);
    IniFile.WriteBool(Section, QStringLiteral("WriteLog"), WriteLog);
    IniFile.WriteBool(Section, QStringLiteral("ViewLog"), ViewLog);
    IniFile.WriteBool(Section, QStringLiteral("RenameMembers"), RenameMembers);
}

// ---------------------------------------------------------------------------
// TNameValueList

QString TNameValueList::KeyOf(QStringView Name) const
{
    return FNameCase == Qt::CaseSensitive ? Name.toString() : Name.toString().toCaseFolded();
}

int TNameValueList::IndexOfName(QStringView Name) const
{
    const auto It = FIndex.constFind(KeyOf(Name));
    return It == FIndex.constEnd() ? -1 : *It;
}

void TNameValueList::Append(const QString &Name, const QString &Value)
{
    const QString Key = KeyOf(Name);
    if (!FIndex.contains(Key)) // the first line of a name is the one found
        FIndex.insert(Key, int(FItems.size()));
    FItems.emplace_back(Name, Value);
}

QString TNameValueList::Value(QStringView Name) const
{
    const int I = IndexOfName(Name);
    return I < 0 ? QString() : FItems[size_t(I)].second;
}

void TNameValueList::SetValue(const QString &Name, const QString &Value)
{
    const int I = IndexOfName(Name);
    if (I < 0)
        Append(Name, Value);
    else
        FItems[size_t(I)].second = Value;
}

QStringList TNameValueList::Lines() const
{
    QStringList Result;
    Result.reserve(qsizetype(FItems.size()));
    for (const auto &[Name, Value] : FItems)
        Result << Name + u'=' + Value;
    return Result;
}

// ---------------------------------------------------------------------------
// TComponentReplacer: construction and replace pairs

TComponentReplacer::TComponentReplacer(TFormParserClass FormParserClass, const QString &OldUsesUnit,
                                       const QString &NewUsesList, TReplaceOptions *AReplaceOptions)
    : FOldUsesUnit(OldUsesUnit.toUpper()), FNewUsesList(NewUsesList), FReplaceOptions(AReplaceOptions)
{
    MIG_ASSERT(FReplaceOptions, QStringLiteral("a replacer needs its options"));
    // Without a class of its own the replacer uses the plain form parser.
    if (!FormParserClass)
        FormParserClass = &MakeFormParser<TFormParser>;
    FFormParserClass = FormParserClass;
    FFormParser = FormParserClass(&MakeParseState<TFormParseState>);
    FOwnConversion.Parser = FFormParser.get();
    FFormParser->SetOnGetPropertyValue([this](const QString &PropName, const QString &OldPropValue) {
        return GetDatabaseConnection(PropName, OldPropValue);
    });
    FLog.SetHeader(FReplaceOptions->Caption() + RExpertRes::sLog);
    FLog.SetCreationTimeString(RExpertRes::sCreatedAt);
    FLog.SetEmptyLineAfterString(true);
}

TComponentReplacer::~TComponentReplacer() = default;

// ---------------------------------------------------------------------------
// The conversion of one file: direct, or collected for the run to commit

namespace {
// The conversion that the calling thread runs, and for which replacer.
thread_local const void *ActiveReplacer = nullptr;
thread_local void *ActiveConversion = nullptr;
} // namespace

TComponentReplacer::TConversion &TComponentReplacer::Current() const
{
    if (ActiveReplacer == this)
        return *static_cast<TConversion *>(ActiveConversion);
    return FOwnConversion;
}

std::unique_ptr<TComponentReplacer::TConversion> TComponentReplacer::MakeCollectingConversion() const
{
    auto C = std::make_unique<TConversion>();
    C->OwnParser = FFormParserClass(&MakeParseState<TFormParseState>);
    C->OwnParser->CopyLimitsFrom(*FFormParser);
    C->OwnParser->SetOnGetPropertyValue(FFormParser->OnGetPropertyValue());
    C->OwnParser->SetConnectionDefFileName(FFormParser->ConnectionDefFileName());
    C->OwnParser->SetDriverConfFileName(FFormParser->DriverConfFileName());
    C->Parser = C->OwnParser.get();
    C->Collect = true;
    return C;
}

void TComponentReplacer::ConvertInto(TConversion &Conversion, const QString &FileName)
{
    Conversion.LogLines.clear();
    Conversion.ReportItems.clear();
    Conversion.AppendedFiles.clear();
    Conversion.DeclaredClasses.clear();
    Conversion.HandlerNotes.clear();
    Conversion.HasInterface = false;
    Conversion.MayReach = false;
    Conversion.HasOutput = false;
    Conversion.Output.clear();
    Conversion.HasOriginal = false;
    Conversion.OriginalBytes.clear();
    Conversion.OriginalAttributes = TFileAttributes();
    Conversion.ChangedFiles = 0;
    Conversion.Error = nullptr;
    const void *const OuterReplacer = ActiveReplacer;
    void *const OuterConversion = ActiveConversion;
    ActiveReplacer = this;
    ActiveConversion = &Conversion;
    try {
        // The output folder is the committing thread's to decide.
        ProcessFile(FileName, QString());
    } catch (...) {
        Conversion.Error = std::current_exception();
    }
    ActiveReplacer = OuterReplacer;
    ActiveConversion = OuterConversion;
}

void TComponentReplacer::CountChangedFile()
{
    TConversion &C = Current();
    if (C.Collect)
        ++C.ChangedFiles;
    else
        ++FChangedFilesCount;
}

void TComponentReplacer::CountRecreatedObjects(int Count)
{
    TConversion &C = Current();
    if (C.Collect)
        C.RecreatedObjects += Count;
    else
        FRecreatedObjectsCount += Count;
}

void TComponentReplacer::LogLine(const QString &Line)
{
    TConversion &C = Current();
    if (C.Collect)
        C.LogLines << Line;
    else
        FLog.WriteLine(Line);
}

void TComponentReplacer::AddWorkItem(TWorkItem Item)
{
    TConversion &C = Current();
    if (C.Collect)
        C.ReportItems << std::move(Item);
    else
        FWorkReport.Add(std::move(Item));
}

void TComponentReplacer::AddReplacePair(const QString &OldComp, const QString &NewComp)
{
    FNewComps.append(NewComp);
    const auto It = std::lower_bound(FOldComps.begin(), FOldComps.end(), OldComp, [](const TPair &A, const QString &B) {
        return QString::compare(A.OldComp, B, Qt::CaseInsensitive) < 0;
    });
    if (It != FOldComps.end() && QString::compare(It->OldComp, OldComp, Qt::CaseInsensitive) == 0)
        return; // the first pair for this name stays in force
    FOldComps.insert(It, TPair{OldComp, int(FNewComps.size() - 1)});
    FOldNames.Add(OldComp);
    FOldIndex.Add(OldComp, int(FNewComps.size() - 1));
}

void TComponentReplacer::ClearPairs()
{
    FNewComps.clear();
    FOldComps.clear();
    FOldNames.Clear();
    FOldIndex.Clear();
}

const QString *TComponentReplacer::FindNewComp(QStringView Name) const
{
    if (!FOldNames.MayContain(Name))
        return nullptr;
    if (const int Index = FOldIndex.Find(Name); Index != TAsciiNameIndex::Unknown)
        return Index == TAsciiNameIndex::Absent ? nullptr : &FNewComps[Index];
    const auto It = std::lower_bound(FOldComps.begin(), FOldComps.end(), Name, [](const TPair &A, QStringView B) {
        return compareIgnoringCase(A.OldComp, B) < 0;
    });
    if (It == FOldComps.end() || compareIgnoringCase(It->OldComp, Name) != 0)
        return nullptr;
    return &FNewComps[It->NewIndex];
}

QString TComponentReplacer::GetReplacementText(const QString &OldName, const QString &NewName) const
{
    Q_UNUSED(OldName);
    return NewName;
}

QString TComponentReplacer::TranslateName(const QString &Name) const
{
    const QString *NewName = FindNewComp(Name);
    return NewName ? GetReplacementText(Name, *NewName) : Name;
}

// ---------------------------------------------------------------------------
// Form files (the rewriting of units is in UnitRewriter.cpp)

// Follows the object headers of a form text lexeme by lexeme: the nesting
// level and the names of the current object and of those around it.
struct TObjectWalk
{
    QStringList Path;
    int Level = -1;
    bool ReadingName = false;
    bool ReadingType = false;

    // True when Lexem is the class name of the object whose header is read.
    bool Step(int Code, QStringView Lexem)
    {
        switch (Code) {
        case lexKeywordObject:
        case lexKeywordInherited:
        case lexKeywordInline:
            ReadingName = true;
            ++Level;
            break;
        case lexKeywordItem:
            ++Level;
            break;
        case lexKeywordEnd:
            --Level;
            break;
        case lexIdentifier:
            if (ReadingName) {
                ReadingName = false;
                ReadingType = true;
                Path.resize(std::max(Level, 0));
                Path << Lexem.toString();
            } else if (ReadingType) {
                ReadingType = false;
                return true;
            }
            break;
        default:
            break;
        }
        return false;
    }
};

namespace {

// The object path of a report item: the names from the root object down,
// joined by ".", whole (the report's text shortens it). Real forms nest a few
// levels; only a path deeper than any form a designer writes keeps its first
// and last names around "...", so that a hostile form of thousands of nested
// objects does not cost the square of its depth.
QString objectPath(const QStringList &Path)
{
    constexpr qsizetype Head = 32, Tail = 32;
    if (Path.size() <= Head + Tail + 1)
        return Path.join(u'.');
    return QStringList(Path.cbegin(), Path.cbegin() + Head).join(u'.') + QStringLiteral("...") +
           QStringList(Path.cend() - Tail, Path.cend()).join(u'.');
}

} // namespace

// ---------------------------------------------------------------------------
// What the rewriting of units and of forms shares

QString TComponentReplacer::FindFileIgnoringCase(const QString &Path)
{
    if (FRun)
        return FRun->FindFileIgnoringCase(Path);
    TFileNameIndex Once;
    return Once.Find(Path);
}

void TComponentReplacer::WriteWholeFile(const QString &Path, const QByteArray &Bytes)
{
    // A worker's conversion keeps its output for the committing thread,
    // which writes it in list order. Within a run, the run decides where the
    // converted file goes (see TReplaceRun::WriteConvertedFile). Outside
    // one: a plain new file.
    TConversion &C = Current();
    if (C.Collect) {
        C.HasOutput = true;
        C.Output = Bytes;
        return;
    }
    if (FRun) {
        FRun->WriteConvertedFile(Path, Bytes);
        return;
    }
    QString Error;
    FFileSystem->RemoveFile(Path);
    if (!FFileSystem->WriteNewFile(Path, Bytes, TFileAttributes(), &Error))
        throw EFileError(Error);
}

QString TComponentReplacer::LineBreakOf(QStringView Text)
{
    const qsizetype Lf = Text.indexOf(u'\n');
    return Lf >= 0 && (Lf == 0 || Text[Lf - 1] != u'\r') ? QStringLiteral("\n") : QStringLiteral("\r\n");
}

// ---------------------------------------------------------------------------
// Form files

void TComponentReplacer::ReadFormText(QIODevice &Stream, const QString &FileName, TRCData &RCData, QString &Text,
                                      TTextEncoding &Encoding, bool &Binary)
{
    const QByteArray Bytes = Stream.readAll();
    Encoding = TTextEncoding::Ansi();
    RCData = TRCData();
    Binary = Bytes.size() >= 3 && Bytes.startsWith(QByteArrayView("\xFF\x0A\x00", 3));
    if (!Binary) {
        Text = TextCodec::DecodeFile(Bytes, Encoding);
        return;
    }
    const qsizetype Zero = Bytes.indexOf('\0', 3);
    if (Zero < 0)
        throw EStreamError(QStringLiteral("%1: the binary form ends inside its resource name").arg(FileName));
    RCData.Name = Bytes.mid(3, Zero - 3);
    const qsizetype DataStart = Zero + 1 + 2 + 4;
    if (DataStart > Bytes.size())
        throw EStreamError(QStringLiteral("%1: the binary form ends inside its resource header").arg(FileName));
    const auto *Size = reinterpret_cast<const unsigned char *>(Bytes.constData() + Zero + 3);
    RCData.Size = qint32(quint32(Size[0]) | quint32(Size[1]) << 8 | quint32(Size[2]) << 16 | quint32(Size[3]) << 24);
    RCData.Originals = std::make_shared<TStreamOriginals>();
    try {
        Text = ObjectBinaryToText(QByteArrayView(Bytes).sliced(DataStart), RCData.Originals.get());
    } catch (const EStreamError &E) {
        // Offsets in the file are those of the stream plus the header.
        throw EStreamError(QStringLiteral("%1: %2 (the component stream starts at offset %3)")
                               .arg(FileName, E.Message())
                               .arg(DataStart));
    }
}

void TComponentReplacer::WriteFormFile(const QString &OutputPath, const QString &FormText,
                                       const TTextEncoding &Encoding, bool Binary, const TRCData &RCData)
{
    if (!Binary) {
        WriteWholeFile(OutputPath, TextCodec::EncodeFile(FormText, Encoding));
        return;
    }
    WriteWholeFile(OutputPath, MakeBinaryFormFile(RCData.Name, ObjectTextToBinary(FormText, RCData.Originals.get())));
}

QByteArray TComponentReplacer::MakeBinaryFormFile(const QByteArray &ResourceName, const QByteArray &Stream)
{
    QByteArray Bytes("\xFF\x0A\x00", 3);
    Bytes += ResourceName;
    Bytes += '\0';
    Bytes += QByteArray("\x30\x10", 2);
    const quint32 Size = quint32(Stream.size());
    for (int Shift = 0; Shift < 32; Shift += 8)
        Bytes += char((Size >> Shift) & 0xFF);
    return Bytes + Stream;
}

void TComponentReplacer::RewriteForm(const QString &Text, const QString &OutputPath, const TTextEncoding &Encoding,
                                     bool Binary, const TRCData &RCData)
{
    TConversion &C = Current();
    C.LineBreak = LineBreakOf(Text);
    const bool LfOnly = C.LineBreak == QLatin1String("\n");
    TFormParser &Parser = *C.Parser;
    // Reading goes on after a re-created object by moving the lexer's
    // position in the one text, so positions stay those of the whole text.
    TPasParser Lexer(Text);
    QString Output;
    Output.reserve(Text.size() + Text.size() / 8);
    TObjectWalk Walk;
    int Changes = 0;
    int ObjectTextPos = 0;
    qsizetype ObjectOutputPos = 0;
    TLineIndex Lines(Text);
    // The lexer keeps blanks, comments and string quotes, so its lexemes
    // cover the text without a gap, and most of them stay as they are: the
    // output takes the text up to the next change in one piece (Copied is
    // where the text not yet in the output starts).
    qsizetype Copied = 0;
    const auto CopyUpTo = [&](qsizetype End) {
        Output.append(QStringView(Text).mid(Copied, End - Copied));
        Copied = End;
    };
    QStringView Lexem;
    for (int Code = Lexer.GetNextView(Lexem); Code != lexEnd; Code = Lexer.GetNextView(Lexem)) {
        // An inherited or inline object of a descendant form or frame is
        // converted like any other: its keyword stays, and the properties it
        // overrides go through the same rules as its ancestor's.
        if (Code == lexKeywordObject || Code == lexKeywordInherited || Code == lexKeywordInline) {
            ObjectTextPos = Lexer.PrevPos();
            CopyUpTo(ObjectTextPos);
            ObjectOutputPos = Output.size();
        }
        if (Walk.Step(Code, Lexem)) {
            if (const QString *NewName = FindNewComp(Lexem)) {
                // Convert the object that starts at the last OBJECT.
                Parser.SetNewClassName(*NewName);
                int Pos = ObjectTextPos + 1;
                if (Parser.ParseString(Text, QStringLiteral("<object>"), Pos)) {
                    ++Changes;
                    ReportDroppedProperties(Lines, objectPath(Walk.Path), *NewName);
                    ReportOpenWithoutConnection(Lines, ObjectTextPos, objectPath(Walk.Path), *NewName);
                    // The objects nested in it are re-created with it and not
                    // read below: those of unpaired classes are reported here
                    // (an object without any has only its own class, which
                    // converts).
                    if (!Parser.NestedObjects().isEmpty())
                        ReportUnpairedComponents(Text, Lines, ObjectTextPos, Pos - 1, Walk);
                    // The blanks before the keyword stay in the output,
                    // and the object text brings its own indentation.
                    Output.truncate(ObjectOutputPos);
                    Copied = Pos - 1;
                    QString Object = Parser.MakeObject(Walk.Level);
                    if (LfOnly)
                        Object.replace(QLatin1String("\r\n"), QLatin1String("\n"));
                    Output += Object;
                    // Reading goes on where the parse stopped: after the
                    // object's "end" and the blanks and line breaks that
                    // follow it.
                    Lexer.SetPos(Pos - 1);
                    --Walk.Level; // the object's END has been consumed
                } else {
                    // Not accepted: the class name alone is replaced and
                    // the objects nested in it are examined in turn.
                    ReportObjectNotConverted(Lines, ObjectTextPos, objectPath(Walk.Path), Lexem.toString(), *NewName);
                    CopyUpTo(Lexer.PrevPos());
                    Output += *NewName;
                    Copied += Lexem.size();
                }
                continue;
            }
            ReportUnpairedComponent(Text, Lines, Lexer.PrevPos(), Walk.Path, Lexem);
        }
    }
    LogLine(RExpertRes::changeCountLine(Changes));
    if (Changes == 0)
        return;
    CopyUpTo(Text.size());
    WriteFormFile(OutputPath, Output, Encoding, Binary, RCData);
    CountRecreatedObjects(Changes);
    CountChangedFile();
}

void TComponentReplacer::CollectDatabaseNames(const QString &FileName)
{
    QByteArray Bytes;
    QString Error;
    if (!FFileSystem->ReadFile(FileName, Bytes, &Error))
        throw EFileError(Error);
    for (const auto &[Name, Component] : DatabaseNamesOf(Bytes, FileName))
        FDBList.SetValue(Name, Component);
}

QList<std::pair<QString, QString>> TComponentReplacer::DatabaseNamesOf(const QByteArray &FormBytes,
                                                                     const QString &FileName)
{
    // Only a TDatabase object defines a name, and its class name is in the
    // file's bytes as it is written in every encoding a form file may have
    // (ANSI or UTF-8 text, UTF-16 LE text, or the binary stream): a form
    // without it has no names and is not decoded and scanned.
    static const QByteArray ClassName = QByteArrayLiteral("TDatabase");
    static const QByteArray ClassNameUtf16 = [] {
        QByteArray Result;
        for (const char Ch : ClassName)
            Result.append(Ch).append('\0');
        return Result;
    }();
    if (!FormBytes.contains(ClassName) && !FormBytes.contains(ClassNameUtf16))
        return {};
    QByteArray Bytes = FormBytes;
    QBuffer File(&Bytes);
    File.open(QIODevice::ReadOnly);
    TRCData RCData;
    QString Text;
    TTextEncoding Encoding;
    bool Binary = false;
    ReadFormText(File, FileName, RCData, Text, Encoding, Binary);

    QList<std::pair<QString, QString>> Names;
    TPasParser Lexer(Text);
    Lexer.KeepStringQuotes = false;
    TFormObject Obj;
    QString Root;
    QString Lexem;
    for (int Code = Lexer.GetNext(Lexem); Code != lexEnd; Code = Lexer.GetNext(Lexem)) {
        switch (Code) {
        case lexKeywordObject:
            Obj.ReadingName = true;
            break;
        case lexIdentifier:
            if (Obj.ReadingName) {
                Obj.Name = Lexem;
                Obj.ReadingName = false;
                Obj.ReadingType = true;
                if (Root.isEmpty())
                    Root = Lexem;
            } else if (Obj.ReadingType) {
                Obj.ClassName = Lexem;
                Obj.ReadingType = false;
            }
            Obj.LastIdent = Lexem;
            break;
        case lexKeywordEnd:
            Obj.Name.clear();
            Obj.ClassName.clear();
            break;
        case lexString:
            if (Obj.ClassName == QLatin1String("TDatabase") && Obj.LastIdent == QLatin1String("DatabaseName"))
                Names.append({Lexem, Root + u'.' + Obj.Name});
            break;
        default:
            break;
        }
    }
    return Names;
}

QString TComponentReplacer::GetDatabaseConnection(const QString &PropName, const QString &OldPropValue) const
{
    MIG_ASSERT(PropName == QLatin1String("DatabaseName"),
               QStringLiteral("database connections are looked up for DatabaseName only, not %1").arg(PropName));
    return FDBList.Value(OldPropValue);
}

// ---------------------------------------------------------------------------
// The report of work left

namespace {

// "T" or "E" in any letter case, as the classes and exceptions of the old
// sets start (TpFibErrorHandler as well as TIBQuery).
bool looksLikeClass(QStringView Name)
{
    return Name.size() > 2 && (foldAscii(Name[0].unicode()) == u't' || foldAscii(Name[0].unicode()) == u'e');
}

// "OnEventAlert = IBEvents1EventAlert": an event handler, by its name and
// its value (a method name).
bool isEventHandler(const QString &Name, const QString &Value)
{
    bool IsEvent = false;
    for (const char *Prefix : {"On", "Before", "After"})
        if (Name.startsWith(QLatin1String(Prefix)) && Name.size() > qsizetype(strlen(Prefix))
            && Name[qsizetype(strlen(Prefix))].isUpper())
            IsEvent = true;
    if (!IsEvent || Value.isEmpty() || !(Value[0].isLetter() || Value[0] == u'_'))
        return false;
    return std::all_of(Value.cbegin(), Value.cend(), [](QChar C) { return C.isLetterOrNumber() || C == u'_'; });
}

} // namespace

void TComponentReplacer::SetFamily(TSourceFamily Family)
{
    FFamily = std::move(Family);
}

bool TComponentReplacer::IsUnpairedFamilyClass(QStringView Name) const
{
    if (!looksLikeClass(Name) || FindNewComp(Name))
        return false;
    for (const QString &Class : FFamily.ClassNames)
        if (compareIgnoringCase(Name, Class) == 0)
            return true;
    for (const QString &Prefix : FFamily.ClassPrefixes)
        if (Name.size() > Prefix.size() && compareIgnoringCase(Name.left(Prefix.size()), Prefix) == 0
            && Name[Prefix.size()].isLetter())
            return true;
    return false;
}

void TComponentReplacer::ReportLeftIdentifier(TLineIndex &Lines, qsizetype Pos, QStringView Name)
{
    const bool IsApi = !FFamily.ApiPrefix.isEmpty() && Name.size() > FFamily.ApiPrefix.size()
                       && Name.startsWith(FFamily.ApiPrefix) && Name[FFamily.ApiPrefix.size()].isUpper();
    if (!IsApi && !IsUnpairedFamilyClass(Name))
        return;
    TWorkItem Item;
    Item.Kind = IsApi ? TWorkItemKind::ApiCall : TWorkItemKind::LeftInCode;
    Item.File = Current().CurrentFile;
    Item.Line = Lines.LineOf(Pos);
    Item.Name = Name.toString();
    AddWorkItem(std::move(Item));
}

void TComponentReplacer::ReportUnpairedComponent(const QString &Text, TLineIndex &Lines, qsizetype Pos,
                                                 const QStringList &Path, QStringView ClassName)
{
    if (!IsUnpairedFamilyClass(ClassName))
        return;
    const QString ObjectPath = objectPath(Path);
    AddWorkItem({TWorkItemKind::UnpairedComponent, Current().CurrentFile, Lines.LineOf(Pos), ObjectPath,
                 ClassName.toString(), QString(), QString(), ClassName.toString()});
    // Its own event handlers ("OnError = HandlerError"), up to its first
    // nested object or its end: the unit's methods they name keep the old
    // classes' parameter types only if the run renamed none of them.
    TPasParser Lexer(Text);
    Lexer.SetPos(int(Pos + ClassName.size()));
    QString Property, Previous;
    bool AfterEquals = false;
    QStringView Lexem;
    for (int Code = Lexer.GetNextView(Lexem); Code != lexEnd; Code = Lexer.GetNextView(Lexem)) {
        if (Code == lexKeywordEnd || Code == lexKeywordObject || Code == lexKeywordInherited || Code == lexKeywordInline)
            break;
        if (Code == lexBlanks || Code == lexComment)
            continue;
        if (Code == lexIdentifier && AfterEquals) {
            if (isEventHandler(Property, Lexem.toString()))
                NoteHandler({false, Current().CurrentFile, Lines.LineOf(Lexer.PrevPos()), Lexem.toString(), ObjectPath,
                             ClassName.toString(), Property});
            AfterEquals = false;
        } else if (Code == lexIdentifier) {
            Property = Lexem.toString();
        } else {
            AfterEquals = Lexem == u"=";
        }
    }
}

void TComponentReplacer::NoteHandler(THandlerNote Note)
{
    TConversion &C = Current();
    if (C.Collect)
        C.HandlerNotes << std::move(Note);
    else
        FWorkReport.NoteHandler(std::move(Note));
}

void TComponentReplacer::ReportUnpairedComponents(const QString &Text, TLineIndex &Lines, qsizetype From,
                                                  qsizetype To, const TObjectWalk &Around)
{
    // The walk goes on from the state before the object's keyword.
    TObjectWalk Walk = Around;
    --Walk.Level;
    TPasParser Lexer(Text);
    Lexer.SetPos(int(From));
    QStringView Lexem;
    for (int Code = Lexer.GetNextView(Lexem); Code != lexEnd && Lexer.PrevPos() < To;
         Code = Lexer.GetNextView(Lexem))
        if (Walk.Step(Code, Lexem))
            ReportUnpairedComponent(Text, Lines, Lexer.PrevPos(), Walk.Path, Lexem);
}

void TComponentReplacer::ReportDroppedProperties(TLineIndex &Lines, const QString &ObjectPath, const QString &NewClass)
{
    const TConversion &C = Current();
    const QList<TDroppedProperty> &Dropped = C.Parser->DroppedProperties();
    for (const TDroppedProperty &D : Dropped) {
        TWorkItem Item{TWorkItemKind::DroppedProperty, C.CurrentFile, Lines.LineOf(D.Pos - 1), ObjectPath, D.Name,
                       D.Value, QString(), NewClass};
        switch (D.Reason) {
        case TDropReason::NotPublished:
            if (isEventHandler(D.Name, D.Value)) {
                Item.Kind = TWorkItemKind::DroppedEvent;
                Item.Detail = NewClass + QStringLiteral(" has no such event");
            } else {
                Item.Detail = NewClass + QStringLiteral(" does not publish it");
            }
            break;
        case TDropReason::NoCounterpart:
            Item.Detail = QStringLiteral("the value has no counterpart in ") + NewClass;
            break;
        case TDropReason::NotCarried:
            Item.Detail = QStringLiteral("not carried over to ") + NewClass;
            break;
        case TDropReason::UnknownDatabase:
            Item.Kind = TWorkItemKind::UnknownDatabase;
            break;
        case TDropReason::ElementsRemoved:
            Item.Detail = QStringLiteral("removed from the set: ") + NewClass + QStringLiteral(" has no such element");
            break;
        }
        AddWorkItem(std::move(Item));
    }
}

void TComponentReplacer::ReportObjectNotConverted(TLineIndex &Lines, int ObjectPos, const QString &ObjectPath,
                                                  const QString &OldClass, const QString &NewClass)
{
    const TConversion &C = Current();
    const QString &Error = C.Parser->ErrorStr();
    AddWorkItem({TWorkItemKind::ObjectNotConverted, C.CurrentFile, Lines.LineOf(ObjectPos), ObjectPath, OldClass,
                     NewClass,
                     Error.isEmpty() ? QStringLiteral("the form grammar does not accept the object") : Error, OldClass});
}

void TComponentReplacer::ReportOpenWithoutConnection(TLineIndex &Lines, int ObjectPos, const QString &ObjectPath,
                                                     const QString &NewClass)
{
    // An open dataset needs its Connection, an open connection its Database;
    // a form that opens one without it fails as it loads.
    const TConversion &C = Current();
    const QList<TFormProperty> &Props = C.Parser->Props();
    const auto Find = [&](QStringView Name) -> const TFormProperty * {
        for (const TFormProperty &P : Props)
            if (P.Name == Name)
                return &P;
        return nullptr;
    };
    for (const auto &[Open, Needed] : {std::pair(u"Active", u"Connection"), std::pair(u"Connected", u"Database")}) {
        const TFormProperty *P = Find(Open);
        const TPublishedProperties *Published = TClassRegistry::Global().FindClass(NewClass);
        if (!P || P->Lines != QStringList{QStringLiteral("True")} || Find(Needed) || !Published
            || !Published->Contains(Needed))
            continue;
        AddWorkItem({TWorkItemKind::OpenWithoutConnection, C.CurrentFile, Lines.LineOf(ObjectPos), ObjectPath,
                     QString::fromUtf16(Open), QStringLiteral("True"),
                     QString::fromUtf16(Needed) + QStringLiteral(" is not set: the form fails as it loads"), NewClass});
    }
}

void TComponentReplacer::ReportCodeUse(TLineIndex &Lines, const TCodeUse &Use, bool Renamed)
{
    TWorkItem Item;
    Item.File = Current().CurrentFile;
    Item.Line = Lines.LineOf(Use.Pos);
    Item.ObjectPath = Use.Ident;
    Item.Class = Use.NewClass;
    if (Use.Kind == TCodeUse::TKind::With) {
        Item.Kind = TWorkItemKind::WithInCode;
        Item.Name = Use.Ident;
        Item.Detail = Use.NewClass + QStringLiteral(": check the members used inside");
        AddWorkItem(std::move(Item));
        return;
    }
    Item.Kind = Renamed ? TWorkItemKind::MemberRenamed : TWorkItemKind::MemberInCode;
    Item.Name = Use.Member;
    // The text of a fate is made once and shared, unless it names the
    // member as this use spells it and the first use spelled it otherwise.
    const auto Said = [&](auto Make) {
        if (!Use.Known || Use.Member != Use.Known->First)
            return Make();
        if (Use.Known->Said.isEmpty())
            Use.Known->Said = Make();
        return Use.Known->Said;
    };
    switch (Use.Fate.Kind) {
    case TMemberFate::TKind::Renamed: {
        Item.Detail = Said([&] { return QStringLiteral("renamed to ") + Use.Fate.Target; });
        // The new class may have a member of the old name that means
        // something else: the code compiles, and does something else.
        const TPublishedProperties *Published = TClassRegistry::Global().FindClass(Use.NewClass);
        if (!Renamed && Published && Published->Contains(QStringView(Use.Member).left(Use.Member.indexOf(u'.'))))
            Item.Consequence = TConsequence::BehavesDifferently;
        break;
    }
    case TMemberFate::TKind::Missing:
        Item.Detail = Said([&] { return Use.NewClass + QStringLiteral(" has no ") + Use.Member; });
        break;
    case TMemberFate::TKind::Replaced:
        Item.Detail = Said([&] { return QStringLiteral("set ") + Use.Fate.Target + QStringLiteral(" instead"); });
        break;
    case TMemberFate::TKind::Kept:
        return;
    }
    AddWorkItem(std::move(Item));
}

QString TComponentReplacer::WriteWorkReport()
{
    if (!FLog.IsOpen())
        return QString();
    const QString Folder = FolderOf(FLog.FileName());
    const QString Path = JoinPath(Folder, RExpertRes::sReportFileName);
    // Beside the log and, like it, never written through a symbolic link.
    QFile File;
    QString Error;
    if (!CreateFileNoFollow(File, Path, &Error))
        throw EFileError(Error);
    bool Written = true;
    FWorkReport.WriteText(
        [&](const QString &Part) {
            const QByteArray Bytes = Part.toUtf8();
            Written = Written && File.write(Bytes) == Bytes.size();
        },
        FReplaceOptions->Caption() + RExpertRes::sReport, Folder);
    if (!Written || !File.flush()) {
        Error = QStringLiteral("Cannot write file \"%1\". %2").arg(Path, File.errorString());
        File.close();
        throw EFileError(Error);
    }
    return Path;
}

// ---------------------------------------------------------------------------
// One file of the run (the run itself, which drives it, is TReplaceRun)

namespace {

bool HasExtension(const QString &Path, const char *Ext)
{
    return Path.right(4).compare(QLatin1String(Ext), Qt::CaseInsensitive) == 0;
}

bool IsUnitFile(const QString &Path)
{
    return HasExtension(Path, ".PAS") || HasExtension(Path, ".DPR");
}

QString FileNameOf(const QString &Path)
{
    return QFileInfo(Path).fileName();
}

} // namespace

void TComponentReplacer::ProcessFile(const QString &FileName, const QString &OutputFolder)
{
    Current().CurrentFile = FileName;
    LogLine(RExpertRes::sProcessingFile.arg(FileName));
    // Read whole through the file layer; the run keeps the bytes for the
    // checksum of the original's backup (a worker's conversion hands them
    // to the committing thread).
    QByteArray Bytes;
    QString Error;
    TFileAttributes Attributes;
    // A form that the run's pre-scan read is not read again.
    if (const TKeptFile *Kept = FRun ? FRun->PrescannedFile(FileName) : nullptr) {
        Bytes = Kept->Bytes;
        Attributes = Kept->Attributes;
    } else if (!FFileSystem->ReadFile(FileName, Bytes, &Error, &Attributes)) {
        throw EFileError(Error);
    }
    if (TConversion &C = Current(); C.Collect) {
        C.HasOriginal = true;
        C.OriginalBytes = Bytes;
        C.OriginalAttributes = Attributes;
    } else if (FRun) {
        FRun->NoteOriginalFile(FileName, Bytes, Attributes);
    }
    QBuffer File(&Bytes);
    File.open(QIODevice::ReadOnly);
    const QString OutputPath = JoinPath(OutputFolder, FileNameOf(FileName));
    if (IsUnitFile(FileName)) {
        QString Text;
        TTextEncoding Encoding;
        ReadSourceText(File, Text, Encoding);
        RewriteUnit(Text, FileName, Encoding, OutputPath);
    } else {
        TRCData RCData;
        QString Text;
        TTextEncoding Encoding;
        bool Binary = false;
        ReadFormText(File, FileName, RCData, Text, Encoding, Binary);
        RewriteForm(Text, OutputPath, Encoding, Binary, RCData);
    }
}
