// Feeds arbitrary text to the form parser as one object. The first byte picks
// how the rest is decoded (UTF-8 or Latin-1, so that every character up to
// U+00FF and beyond occurs). Checks what must hold for any input: no crash,
// Pos unchanged on failure and within the text on success, an empty
// MakeObject after a failure; and that the fast engine and the plain one give
// the same outcome (result, position, ConvertProperty calls in order, the
// object written) on texts up to 1,024 characters, on texts up to 200 also
// the plain one without the memo.
#include "FormParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class TFuzzParser : public TFormParser
{
public:
    using TFormParser::SetMemoEnabled;
    QStringList Calls;
    void ConvertProperty(const QString &PropName, const QString &PropValue) override
    {
        Calls << PropName << PropValue;
        AddProperty(PropName, PropValue);
    }
};

void check(bool Condition)
{
    if (!Condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    const char *Bytes = reinterpret_cast<const char *>(Data + 1);
    const qsizetype Length = qsizetype(Size - 1);
    const QString Text = (Data[0] & 1) ? QString::fromUtf8(Bytes, Length) : QString::fromLatin1(Bytes, Length);

    static TFuzzParser Parser;
    Parser.SetNewClassName((Data[0] & 2) ? QStringLiteral("TNew") : QString());
    Parser.Calls.clear();
    int Pos = 1;
    const bool Result = Parser.ParseString(Text, QStringLiteral("<object>"), Pos);
    const QString Written = Parser.MakeObject(Data[0] >> 6);
    if (!Result) {
        check(Pos == 1);
        check(Written.isEmpty());
        check(Parser.Props().isEmpty() && Parser.NestedObjects().isEmpty());
    } else {
        check(Pos > 1 && Pos <= Text.size() + 1);
        check(!Written.isEmpty());
        check(Parser.Props().size() == Parser.FormState().PropCount());
        check(Parser.NestedObjects().size() == Parser.FormState().ObjectCount());
    }

    // The plain engine saves and restores the state on every call it tries:
    // on a text of a few kilobytes it takes ten times as long as the fast
    // one. It is compared on the shorter texts, which the fuzzer reduces its
    // findings to anyway, so that the run keeps hundreds of inputs a second.
    if (Text.size() > 1024)
        return 0;
    static TFuzzParser Plain;
    Plain.SetEngine(TLL1Parser::TEngine::Plain);
    Plain.SetNewClassName(Parser.NewClassName());
    Plain.Calls.clear();
    int PlainPos = 1;
    check(Plain.ParseString(Text, QStringLiteral("<object>"), PlainPos) == Result);
    check(PlainPos == Pos);
    check(Plain.Calls == Parser.Calls);
    check(Plain.MakeObject(Data[0] >> 6) == Written);

    if (Text.size() <= 200) {
        static TFuzzParser Unmemoized;
        Unmemoized.SetEngine(TLL1Parser::TEngine::Plain);
        Unmemoized.SetMemoEnabled(false);
        Unmemoized.SetWorkLimitPerChar(1000000);   // without the memo, nesting costs more than the limit allows
        Unmemoized.SetNewClassName(Parser.NewClassName());
        int UnmemoizedPos = 1;
        check(Unmemoized.ParseString(Text, QStringLiteral("<object>"), UnmemoizedPos) == Result);
        check(UnmemoizedPos == Pos);
        check(Unmemoized.MakeObject(Data[0] >> 6) == Written);
    }
    return 0;
}
