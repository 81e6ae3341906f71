// The rewriting of a unit or project file (.pas, .dpr): old class names
// become new ones, the uses clauses that name the old unit or another unit of
// the source set receive the new units, class names inside comments change,
// and the form file that a resource directive names joins the run's list.
// The lexer gives every character back, so what does not change stays byte
// for byte.
#include "Replacer.h"

#include "CaseCompare.h"
#include "CodeScan.h"
#include "FormParser.h"
#include "FileUtils.h"
#include "PasParser.h"
#include "RExpertRes.h"
#include "UnitIndex.h"
#include "UsesClauses.h"
#include "TextCodec.h"

#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <atomic>
#include <utility>

namespace {
std::atomic<bool> CodeScanOn{true};
} // namespace

void TComponentReplacer::SetCodeScan(bool On)
{
    CodeScanOn = On;
}

bool TComponentReplacer::CodeScan()
{
    return CodeScanOn;
}

void TComponentReplacer::ReadSourceText(QIODevice &Stream, QString &Text, TTextEncoding &Encoding)
{
    const QByteArray Bytes = Stream.readAll();
    Text = TextCodec::DecodeFile(Bytes, Encoding);
}

namespace {

// "TFoo = class": the names of the classes that the unit declares itself.
QStringList declaredClasses(const QString &Text, const std::vector<TUnitLexem> &Lexems)
{
    QStringList Names;
    const auto NextCode = [&](size_t I) {
        while (++I < Lexems.size() && Lexems[I].Code == lexComment) {
        }
        return I;
    };
    for (size_t I = 0; I < Lexems.size(); ++I) {
        if (Lexems[I].Code != lexIdentifier)
            continue;
        const size_t Equals = NextCode(I);
        if (Equals >= Lexems.size() || Lexems[Equals].Code != lexEquals)
            continue;
        const size_t Class = NextCode(Equals);
        if (Class < Lexems.size() && Lexems[Class].Code == lexIdentifier
            && compareIgnoringCase(QStringView(Text).mid(Lexems[Class].Start, Lexems[Class].End - Lexems[Class].Start),
                                   u"class")
                   == 0)
            Names << Text.mid(Lexems[I].Start, Lexems[I].End - Lexems[I].Start);
    }
    return Names;
}

// The name that a replacement text declares behind the new class name
// ("TOrxConnection;\r\n    Transaction: TOrxTransaction" gives Transaction),
// or an empty text when it adds nothing.
QString addedDeclaration(const QString &Replaced, const QString &NewName)
{
    if (Replaced.size() <= NewName.size() || !Replaced.startsWith(NewName))
        return QString();
    QString Added = Replaced.mid(NewName.size());
    Added.remove(u';');
    return Added.section(u':', 0, 0).trimmed();
}

QString ChangeFileExt(const QString &Path, const QString &Ext)
{
    const qsizetype Slash = std::max(Path.lastIndexOf(u'/'), Path.lastIndexOf(u'\\'));
    const qsizetype Dot = Path.lastIndexOf(u'.');
    if (Dot > Slash)
        return Path.left(Dot) + Ext;
    return Path + Ext;
}

} // namespace

QString TComponentReplacer::FormFileOfDirective(const QString &Comment, const QString &UnitPath)
{
    const QString U = Comment.toUpper();
    if (!U.startsWith(QLatin1String("{$R ")) && !U.startsWith(QLatin1String("{$RESOURCE ")))
        return {};
    const qsizetype P = U.lastIndexOf(u'.');
    if (P <= 0 || U.size() - P - 1 < 3)
        return {};
    const QString E = U.mid(P, 4);
    if (E != QLatin1String(".DFM") && E != QLatin1String(".NFM"))
        return {};
    if (P + 4 < U.size() && U[P + 4].isLetter())
        return {}; // "*.DFMX" and the like
    QString FormFile;
    if (U[P - 1] == u'*') {
        if (P < 2 || U[P - 2] != u' ')
            return {};
        FormFile = ChangeFileExt(UnitPath, E);
    } else {
        qsizetype B = P;
        while (B > 0 && Comment[B - 1].isLetter())
            --B;
        if (B == P)
            return {};
        FormFile = JoinPath(FolderOf(UnitPath), Comment.mid(B, P - B) + Comment.mid(P, 4));
    }
    return FormFile;
}

int TComponentReplacer::HandleComment(QString &Comment, const QString &SourcePath)
{
    const QString U = Comment.left(11).toUpper();
    if (U.startsWith(QLatin1String("{$R ")) || U.startsWith(QLatin1String("{$RESOURCE "))) {
        const QString Named = FormFileOfDirective(Comment, SourcePath);
        const QString FormFile = Named.isEmpty() ? QString() : FindFileIgnoringCase(Named);
        if (!FormFile.isEmpty()) {
            TConversion &C = Current();
            if (C.Collect)
                C.AppendedFiles.append(FormFile);
            else
                FUnitList.append(FormFile);
        }
        return 0;
    }
    // Class names inside the comment: the inside is tokenized again, without
    // the comment's first character so that it is not seen as one comment.
    // The output is built only when a name changes, from spans of the inside.
    const QString Inside = Comment.mid(1);
    TPasParser Inner(Inside);
    QString Result;
    qsizetype SpanStart = 0;
    int Changes = 0;
    QStringView Lexem;
    for (int Code = Inner.GetNextView(Lexem); Code != lexEnd; Code = Inner.GetNextView(Lexem)) {
        if (Code != lexIdentifier)
            continue;
        const QString *NewName = FindNewComp(Lexem);
        if (!NewName)
            continue;
        if (Changes++ == 0) {
            Result.reserve(Comment.size() + 16);
            Result += Comment.front();
        }
        const qsizetype Start = Inner.PrevPos();
        Result += QStringView(Inside).mid(SpanStart, Start - SpanStart);
        Result += *NewName;
        SpanStart = Start + Lexem.size();
    }
    if (Changes > 0) {
        Result += QStringView(Inside).mid(SpanStart);
        Comment = Result;
    }
    return Changes;
}

std::vector<TUnitLexem> TComponentReplacer::LexUnit(const QString &Text, TCodeIndex *Index,
                                                    std::vector<TUnitLexem> *Comments) const
{
    std::vector<TUnitLexem> Lexems;
    Lexems.reserve(size_t(Text.size() / 8));
    lexUnitInto(
        Text, Lexems, [this](QStringView Name) { return FindNewComp(Name); },
        [](int, QStringView, qsizetype) { return false; }, Index, Comments);
    return Lexems;
}

TMemberFates &TComponentReplacer::MemberFates() const
{
    TConversion &C = Current();
    const TFormParser *Rules = C.Parser;
    C.Fates->Use(Rules, [Rules](const QString &OldClass, const QString &NewClass, const QString &Member) {
        return Rules->MemberFate(OldClass, NewClass, Member);
    });
    return *C.Fates;
}

void TComponentReplacer::ReportReachedUses(const QString &Path, const QByteArray &Bytes, const TUnitIndex &Index)
{
    TConversion &C = Current();
    const QString Was = std::exchange(C.CurrentFile, Path);
    TTextEncoding Encoding;
    const QString Text = TextCodec::DecodeFile(Bytes, Encoding);
    TMemberFates &Fates = MemberFates();
    const std::vector<TUnitLexem> Lexems = LexUnit(Text, &Fates.Index);
    TLineIndex Lines(Text);
    // The unit's own objects were reported when it was rewritten.
    for (const TCodeUse &Use : scanCodeUses(Text, Lexems, Fates.Index, Fates, {&Index, unitNameOf(Path)}))
        if (Use.Reached)
            ReportCodeUse(Lines, Use, false);
    C.CurrentFile = Was;
}

void TComponentReplacer::RewriteUnit(const QString &Text, const QString &SourcePath, const TTextEncoding &Encoding,
                                     const QString &OutputPath)
{
    TConversion &C = Current();
    C.LineBreak = LineBreakOf(Text);
    TIdentifierContext &Identifier = C.Identifier;
    ++Identifier.Unit;
    Identifier.Counter = 0;
    struct TContextGuard
    {
        TIdentifierContext &Context;
        ~TContextGuard() { Context.Text = nullptr; }
    } ContextGuard{Identifier};
    // The text is read once: the lexemes of code (blanks left out, nothing
    // is done with them), the new name of every identifier that names an
    // old class, the comments beside them and, for the code scan, the index
    // of the code.
    TCodeIndex *const CodeIndex = CodeScan() ? &MemberFates().Index : nullptr;
    std::vector<TUnitLexem> Comments;
    const std::vector<TUnitLexem> Lexems = LexUnit(Text, CodeIndex, &Comments);
    // The output is the lexemes' texts in order. Unchanged lexemes are copied
    // as spans of the input (from SpanStart to the lexeme being changed), so
    // the common case costs one copy per change, not one per lexeme.
    QString Output;
    qsizetype SpanStart = 0;
    auto Emit = [&](qsizetype LexemStart, qsizetype LexemEnd, QStringView Replacement) {
        if (Output.isEmpty())
            Output.reserve(Text.size() + Text.size() / 16);
        Output += QStringView(Text).mid(SpanStart, LexemStart - SpanStart);
        Output += Replacement;
        SpanStart = LexemEnd;
    };
    // The new units and where they go are decided before the rewriting,
    // since a unit that names only other units of the source set gets them
    // only when its code renames a class.
    const TUsesPlan Uses = planUsesInsertions(Text, Lexems, {FOldUsesUnit, FNewUsesList, FFamily.Units});
    qsizetype NextInsertion = 0;
    TLineIndex Lines(Text);
    // The classes the unit declares are never taken for the old set's.
    if (QStringList Declared = declaredClasses(Text, Lexems); !Declared.isEmpty()) {
        if (C.Collect)
            C.DeclaredClasses += Declared;
        else
            FWorkReport.NoteDeclaredClasses(Declared);
    }
    // Code that uses converted components: reported, and the one-to-one
    // renames rewritten when the options ask for it (in text order).
    struct TMemberEdit
    {
        qsizetype Start, End;
        QString Text;
    };
    std::vector<TMemberEdit> MemberEdits;
    // A unit without an old class name may still use a converted field of
    // another unit's object. When the run indexes the units as it rewrites
    // them, the unit's interface goes to the run, and a unit whose code may
    // reach another unit's objects is scanned again once all are indexed.
    const bool Reaches = FUnitIndex && !FUnitIndex->IsEmpty();
    const bool IndexLater = FRun && FRun->IndexLater() && CodeScan();
    bool MayReach = false;
    if ((Uses.ClassNames > 0 || Reaches || IndexLater) && CodeScan()) {
        std::vector<TRenamedParameter> Headings;
        const std::vector<TCodeUse> CodeUses =
            scanCodeUses(Text, Lexems, *CodeIndex, MemberFates(),
                         {Reaches ? FUnitIndex.get() : nullptr, unitNameOf(SourcePath), IndexLater ? &MayReach : nullptr},
                         Uses.ClassNames > 0 ? &Headings : nullptr);
        for (const TRenamedParameter &M : Headings)
            NoteHandler({true, C.CurrentFile, Lines.LineOf(M.Pos), M.Method, QString(), M.OldClass, M.NewClass});
        for (const TCodeUse &Use : CodeUses) {
            const bool Rename = FReplaceOptions->RenameMembers && Use.RenameEnd > Use.RenameStart;
            if (Rename)
                MemberEdits.push_back({Use.RenameStart, Use.RenameEnd, Use.Fate.Target});
            ReportCodeUse(Lines, Use, Rename);
        }
    }
    if (IndexLater) {
        TUnitInterface Interface = readUnitInterface(Text, Lexems, CodeIndex);
        if (C.Collect) {
            C.HasInterface = true;
            C.Interface = std::move(Interface);
            C.MayReach = MayReach;
        } else {
            FRun->NoteUnitInterface(SourcePath, std::move(Interface), MayReach);
        }
    }
    size_t NextEdit = 0;
    qsizetype EditedUpTo = 0;
    bool InUses = false;
    int Changes = 0;
    QString Replaced;
    // The comments, met in text order among the lexemes of code: the next
    // one starts at NextCommentStart.
    size_t NextComment = 0;
    qsizetype NextCommentStart = Comments.empty() ? Text.size() + 1 : Comments.front().Start;
    const auto CommentsBefore = [&](qsizetype Pos) {
        for (; NextComment < Comments.size() && Comments[NextComment].Start < Pos; ++NextComment) {
            const TUnitLexem &L = Comments[NextComment];
            if (L.Start < EditedUpTo)
                continue;
            const QStringView Lexem = QStringView(Text).mid(L.Start, L.End - L.Start);
            Replaced = Lexem.toString();
            Changes += HandleComment(Replaced, SourcePath);
            if (Replaced != Lexem)
                Emit(L.Start, L.End, Replaced);
        }
        NextCommentStart = NextComment < Comments.size() ? Comments[NextComment].Start : Text.size() + 1;
    };
    for (const TUnitLexem &L : Lexems) {
        const int Code = L.Code;
        const qsizetype Start = L.Start;
        const qsizetype End = L.End;
        const QStringView Lexem = QStringView(Text).mid(Start, End - Start);
        if (NextCommentStart < Start)
            CommentsBefore(Start);
        if (Start < EditedUpTo)
            continue; // inside a member path rewritten whole
        if (NextEdit < MemberEdits.size() && MemberEdits[NextEdit].Start == Start) {
            const TMemberEdit &Edit = MemberEdits[NextEdit++];
            Emit(Edit.Start, Edit.End, Edit.Text);
            EditedUpTo = Edit.End;
            ++Changes;
            continue;
        }
        if (InUses && NextInsertion < Uses.Insertions.size() && Uses.Insertions[NextInsertion].Pos == End) {
            // The old unit (or the unit of the source set) stays and the new
            // units follow it, behind its "in 'path'" when it has one.
            Emit(Start, End, Lexem.toString() + Uses.Insertions[NextInsertion++].Text);
            ++Changes;
            if (Code == lexIdentifier)
                continue;
        }
        switch (Code) {
        case lexIdentifier:
            if (const QString *NewName = L.NewName) {
                ++Changes;
                Identifier.Text = &Text;
                Identifier.Start = Start;
                Identifier.End = End;
                Replaced = GetReplacementText(Lexem.toString(), *NewName);
                Identifier.Text = nullptr;
                if (const QString Added = addedDeclaration(Replaced, *NewName); !Added.isEmpty())
                    AddWorkItem({TWorkItemKind::AddedDeclaration, C.CurrentFile, Lines.LineOf(Start), QString(), Added,
                                 QString(), QStringLiteral("declared without an object in the form: it stays nil"),
                                 *NewName});
                if (Replaced != Lexem)
                    Emit(Start, End, Replaced);
            } else if (!InUses) {
                ReportLeftIdentifier(Lines, Start, Lexem);
            }
            break;
        case lexSemicolon:
            InUses = false;
            break;
        case lexKeywordUses:
            InUses = true;
            break;
        default:
            break;
        }
    }
    CommentsBefore(Text.size() + 1);
    LogLine(RExpertRes::changeCountLine(Changes));
    if (SpanStart == 0 && Output.isEmpty())
        return; // no lexeme differs: no output file
    Output += QStringView(Text).mid(SpanStart);
    WriteWholeFile(OutputPath, TextCodec::EncodeFile(Output, Encoding));
    CountChangedFile();
}
