#include "SearchCondition.h"

#include <QStringDecoder>

namespace {

const QChar Quote = QLatin1Char('\'');
const QChar Space = QLatin1Char(' ');

// ASCII-only and case-insensitive: Unicode case folding would let look-alikes
// through ("ſ" folds to "s", the Kelvin sign to "k").
bool SameKeyword(QStringView Token, QLatin1StringView Keyword)
{
    if (Token.size() != Keyword.size())
        return false;
    for (qsizetype i = 0; i < Token.size(); ++i) {
        const char16_t c = Token[i].unicode();
        if (c > 0x7F)
            return false;
        const char lower = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : char(c);
        const char expected = Keyword[i].toLatin1();
        const char expectedLower =
            (expected >= 'A' && expected <= 'Z') ? char(expected - 'A' + 'a') : expected;
        if (lower != expectedLower)
            return false;
    }
    return true;
}

std::optional<TSearchField> FieldNamed(QStringView Token)
{
    if (SameKeyword(Token, QLatin1StringView("p.first_name")))
        return TSearchField::FirstName;
    if (SameKeyword(Token, QLatin1StringView("p.last_name")))
        return TSearchField::LastName;
    if (SameKeyword(Token, QLatin1StringView("p.email")))
        return TSearchField::Email;
    return std::nullopt;
}

// The token from Pos up to the next space or the end.
QStringView TokenAt(const QString& S, qsizetype Pos)
{
    qsizetype end = S.indexOf(Space, Pos);
    if (end < 0)
        end = S.size();
    return QStringView(S).mid(Pos, end - Pos);
}

qsizetype SkipSpaces(const QString& S, qsizetype Pos)
{
    while (Pos < S.size() && S[Pos] == Space)
        ++Pos;
    return Pos;
}

std::optional<TSearchCondition> Refuse(QString* Error, const char* Reason)
{
    if (Error)
        *Error = QString::fromLatin1(Reason);
    return std::nullopt;
}

} // namespace

std::optional<TSearchCondition> ParseSearchCondition(const QByteArray& Text, QString* Error)
{
    if (Text.isEmpty())
        return Refuse(Error, "empty condition");

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString s = decoder.decode(Text);
    if (decoder.hasError())
        return Refuse(Error, "not valid UTF-8");

    const qsizetype n = s.size();
    qsizetype i = 0;

    const QStringView fieldToken = TokenAt(s, i);
    const std::optional<TSearchField> field = FieldNamed(fieldToken);
    if (!field)
        return Refuse(Error, "unknown field");
    i += fieldToken.size();

    qsizetype next = SkipSpaces(s, i);
    const QStringView operatorToken = TokenAt(s, next);
    if (next == i || !SameKeyword(operatorToken, QLatin1StringView("LIKE")))
        return Refuse(Error, "expected LIKE after the field");
    i = next + operatorToken.size();

    next = SkipSpaces(s, i);
    if (next == i || next >= n)
        return Refuse(Error, "expected N'...' after LIKE");
    i = next;
    if (s[i] == Quote)
        return Refuse(Error, "missing N before the literal");
    if ((s[i] != QLatin1Char('N') && s[i] != QLatin1Char('n')) || i + 1 >= n || s[i + 1] != Quote)
        return Refuse(Error, "expected N'...' after LIKE");
    i += 2;

    QString prefix;
    bool wildcard = false; // the unescaped % that must end the literal
    for (;;) {
        if (i >= n)
            return Refuse(Error, "unterminated literal");
        const QChar c = s[i];
        if (c == Quote) {
            if (i + 1 < n && s[i + 1] == Quote) {
                if (wildcard)
                    return Refuse(Error, i + 2 == n ? "unterminated literal"
                                                    : "unescaped wildcard in the text");
                prefix += Quote;
                i += 2;
                continue;
            }
            if (i + 1 == n)
                break;
            // A quote that does not end the input: either the literal ended
            // early (text follows it) or a quote was left undoubled.
            if (wildcard || !s.endsWith(Quote))
                return Refuse(Error, "text after the closing quote");
            return Refuse(Error, "lone quote in the text");
        }
        if (wildcard || c == QLatin1Char('_'))
            return Refuse(Error, "unescaped wildcard in the text");
        if (c == QLatin1Char('%')) {
            wildcard = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char('[')) {
            if (i + 2 < n && s[i + 2] == QLatin1Char(']')
                && (s[i + 1] == QLatin1Char('%') || s[i + 1] == QLatin1Char('_')
                    || s[i + 1] == QLatin1Char('['))) {
                prefix += s[i + 1];
                i += 3;
                continue;
            }
            return Refuse(Error, "invalid bracket sequence in the text");
        }
        // A NUL would cut the pattern short inside SQLite's LIKE.
        if (c.category() == QChar::Other_Control)
            return Refuse(Error, "control character in the text");
        prefix += c;
        ++i;
    }
    if (!wildcard)
        return Refuse(Error, "not a prefix match");

    return TSearchCondition{*field, prefix};
}

QString LikePattern(const TSearchCondition& Condition)
{
    QString pattern;
    pattern.reserve(Condition.Prefix.size() + 1);
    for (const QChar c : Condition.Prefix) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    pattern += QLatin1Char('%');
    return pattern;
}
