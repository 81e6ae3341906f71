// The few error types of the system. Each one maps to one way a run can stop;
// the command line turns them into an exit status and a message on stderr.
// Messages name the file, the position and what was expected where known.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

class EMigError : public std::exception
{
public:
    explicit EMigError(QString Message);
    const QString &Message() const { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// An internal inconsistency: always checked, also in release builds.
class EAssertionFailed : public EMigError
{
public:
    using EMigError::EMigError;
};

// A malformed grammar rule or a reference to a nonterminal without a rule.
class EGrammarError : public EMigError
{
public:
    using EMigError::EMigError;
};

// A file or folder that cannot be opened, read, written or created.
class EFileError : public EMigError
{
public:
    using EMigError::EMigError;
};

// A file or folder that cannot be created.
class EFCreateError : public EFileError
{
public:
    using EFileError::EFileError;
};

// A binary component stream (or its text form) that cannot be converted.
class EStreamError : public EMigError
{
public:
    using EMigError::EMigError;
};

[[noreturn]] void RaiseAssertion(const char *Condition, const char *File, int Line, const QString &Message);

// Always-on check: throws EAssertionFailed with the condition and the message.
#define MIG_ASSERT(cond, msg)                                                                   \
    do {                                                                                        \
        if (!(cond))                                                                            \
            RaiseAssertion(#cond, __FILE__, __LINE__, (msg));                                   \
    } while (false)
