// Comparison of names without regard to letter case, for the lookups that
// run on every lexeme: keywords and the old class names.
#pragma once

#include <QStringView>

#include <algorithm>

// The sign of QStringView::compare(A, B, Qt::CaseInsensitive). Pascal names
// are ASCII nearly always, and Qt's Unicode case folding cost more than the
// rest of those lookups together: where the characters compared are ASCII,
// they are folded here (to lower case, as Qt folds them); at the first other
// character the whole comparison is Qt's, so the order is always Qt's.
inline int compareIgnoringCase(QStringView A, QStringView B) noexcept
{
    const qsizetype N = std::min(A.size(), B.size());
    const char16_t *const P = A.utf16();
    const char16_t *const Q = B.utf16();
    for (qsizetype I = 0; I < N; ++I) {
        char16_t X = P[I];
        char16_t Y = Q[I];
        if ((X | Y) >= 0x80)
            return A.compare(B, Qt::CaseInsensitive);
        if (char16_t(X - u'A') < 26)
            X += 32;
        if (char16_t(Y - u'A') < 26)
            Y += 32;
        if (X != Y)
            return int(X) - int(Y);
    }
    return A.size() == B.size() ? 0 : A.size() < B.size() ? -1 : 1;
}
