// Fuzz target of the component stream converter. The input is a binary
// component stream without its "TPF0" signature (added here, so mutations
// are not spent on it). Whatever the input, the converter either raises
// EStreamError or produces a text that converts back; with the originals
// record the bytes come back exactly, and without it our own stream survives
// a second round trip unchanged. The input is also read as a text form, and
// the stream the text reader makes of it goes through the same checks.
#include "ComponentStream.h"
#include "Errors.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void failFuzz(const char *What, const QString &Text)
{
    fprintf(stderr, "%s\n%s\n", What, Text.toUtf8().constData());
    abort();
}

// The checks on one binary stream (with its signature).
void checkStream(const QByteArray &Stream)
{
    try {
        TStreamOriginals Originals;
        const QString Text = ObjectBinaryToText(Stream, &Originals);
        // The converter ignores bytes after the root object's end.
        if (!Stream.startsWith(ObjectTextToBinary(Text, &Originals)))
            failFuzz("the originals record did not give back the stream's bytes", Text);
        const QByteArray Ours = ObjectTextToBinary(Text);
        const QString Again = ObjectBinaryToText(Ours);
        if (Again != Text)
            failFuzz("the text changed after a round trip through our own stream", Text + QStringLiteral("\n----\n") + Again);
        if (ObjectTextToBinary(Again) != Ours)
            failFuzz("our own stream did not survive a round trip", Again);
    } catch (const EStreamError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    QByteArray Stream("TPF0", 4);
    Stream.append(reinterpret_cast<const char *>(Data), qsizetype(Size));
    checkStream(Stream);
    // The same bytes as a text form: a text form seed (and what mutations
    // keep of it) thus also reaches the binary reader with a stream whose
    // structure holds.
    try {
        checkStream(ObjectTextToBinary(QString::fromLatin1(reinterpret_cast<const char *>(Data), qsizetype(Size))));
    } catch (const EStreamError &) {
    }
    return 0;
}
