#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The directory search condition a client sends, e.g. "p.email LIKE N'ab[_]c%'".
// The service never hands this text to the database: it accepts only a prefix
// match on one known field and runs that as a parameterised query.

enum class TSearchField { FirstName, LastName, Email };

struct TSearchCondition
{
    TSearchField Field;
    QString Prefix; // the literal text the value must start with
};

// Parses the condition text the client sends (UTF-8). nullopt, with a short
// reason in Error, when it does not fit; Error is left alone on success.
std::optional<TSearchCondition> ParseSearchCondition(const QByteArray& Text,
                                                     QString* Error = nullptr);

// The prefix as a LIKE pattern for SQLite with '\' as the ESCAPE character:
// the literal prefix with %, _ and \ escaped, followed by %.
QString LikePattern(const TSearchCondition& Condition);
