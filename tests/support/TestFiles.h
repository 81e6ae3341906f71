// Small file helpers shared by the tests that build projects on disk.
#pragma once

#include <QByteArray>
#include <QString>

// The file's bytes, or an empty array when it cannot be read.
QByteArray ReadBytes(const QString &Path);
// Writes Bytes to Path, creating missing folders; fails the test on error.
void WriteBytes(const QString &Path, const QByteArray &Bytes);
