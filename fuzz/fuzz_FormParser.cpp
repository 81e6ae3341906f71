// Feeds arbitrary text to the form parser as one object. The first byte picks
// how the rest is decoded (UTF-8 or Latin-1, so that every character up to
// U+00FF and beyond occurs). Checks what must hold for any input: no crash,
// Pos unchanged on failure and within the text on success, an empty
// MakeObject after a failure, and for short inputs the same outcome with and
// without the memo.
#include "FormParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class TFuzzParser : public TFormParser
{
public:
    using TFormParser::SetMemoEnabled;
    int Calls = 0;
    void ConvertProperty(const QString &PropName, const QString &PropValue) override
    {
        ++Calls;
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

    if (Text.size() <= 200) {
        static TFuzzParser Plain;
        Plain.SetMemoEnabled(false);
        Plain.SetWorkLimitPerChar(1000000);   // without the memo, nesting costs more than the limit allows
        Plain.SetNewClassName(Parser.NewClassName());
        int PlainPos = 1;
        check(Plain.ParseString(Text, QStringLiteral("<object>"), PlainPos) == Result);
        check(PlainPos == Pos);
        check(Plain.MakeObject(Data[0] >> 6) == Written);
    }
    return 0;
}
