#include "Errors.h"

EMigError::EMigError(QString Message) : FMessage(std::move(Message)), FUtf8(FMessage.toUtf8())
{
}

void RaiseAssertion(const char *Condition, const char *File, int Line, const QString &Message)
{
    throw EAssertionFailed(QStringLiteral("Assertion failure: %1 (%2, %3:%4)")
                               .arg(Message, QString::fromLatin1(Condition), QString::fromLatin1(File))
                               .arg(Line));
}
