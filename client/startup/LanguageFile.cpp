#include "LanguageFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QtEndian>
#include <algorithm>
#include <limits>

namespace TLanguageFile {
namespace {

constexpr char Magic[4] = {'K', 'R', 'L', 'N'};
constexpr quint16 FormatVersion = 1;
constexpr int HeaderSize = 48;
constexpr int HashSize = 32;

bool Fail(QString* Error, const QString& Message)
{
    if (Error)
        *Error = Message;
    return false;
}

bool Unescape(const QByteArray& Escaped, QByteArray& Plain)
{
    Plain.clear();
    Plain.reserve(Escaped.size());
    for (qsizetype i = 0; i < Escaped.size(); ++i) {
        const char c = Escaped.at(i);
        if (c != '\\') {
            Plain.append(c);
            continue;
        }
        if (++i == Escaped.size())
            return false;
        switch (Escaped.at(i)) {
        case 'n':
            Plain.append('\n');
            break;
        case 'r':
            Plain.append('\r');
            break;
        case 't':
            Plain.append('\t');
            break;
        case '\\':
            Plain.append('\\');
            break;
        default:
            return false;
        }
    }
    return true;
}

QByteArray Escape(const QString& Text)
{
    QByteArray escaped;
    for (const char c : Text.toUtf8()) {
        switch (c) {
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QList<int> SortedIds(const TStringTable& Table)
{
    QList<int> ids = Table.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

bool ParseTextTable(const QByteArray& Text, TStringTable& Table, QString* Error)
{
    const QList<QByteArray> lines = Text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines.at(n);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        const auto where = [n](const QString& What) {
            return QStringLiteral("line %1: %2").arg(n + 1).arg(What);
        };
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            return Fail(Error, where(QStringLiteral("no TAB after the string id")));
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (!ok || id <= 0)
            return Fail(Error, where(QStringLiteral("the string id is not a positive number")));
        if (Table.contains(id))
            return Fail(Error, where(QStringLiteral("string id %1 appears twice").arg(id)));
        QByteArray text;
        if (!Unescape(line.mid(tab + 1), text))
            return Fail(Error, where(QStringLiteral("a backslash not followed by n, r, t or \\")));
        Table.insert(id, QString::fromUtf8(text));
    }
    return true;
}

QByteArray ToTextTable(const TStringTable& Table)
{
    QByteArray text;
    for (const int id : SortedIds(Table))
        text += QByteArray::number(id) + '\t' + Escape(Table.value(id)) + '\n';
    return text;
}

QByteArray Encode(const TStringTable& Table)
{
    QByteArray entries;
    for (const int id : SortedIds(Table)) {
        const QByteArray text = Table.value(id).toUtf8();
        char numbers[8];
        qToLittleEndian<quint32>(quint32(id), numbers);
        qToLittleEndian<quint32>(quint32(text.size()), numbers + 4);
        entries.append(numbers, sizeof numbers).append(text);
    }
    QByteArray file(HeaderSize, '\0');
    char* header = file.data();
    std::copy(std::begin(Magic), std::end(Magic), header);
    qToLittleEndian<quint16>(FormatVersion, header + 4);
    qToLittleEndian<quint32>(quint32(Table.size()), header + 8);
    qToLittleEndian<quint32>(quint32(entries.size()), header + 12);
    const QByteArray hash = QCryptographicHash::hash(entries, QCryptographicHash::Sha256);
    std::copy(hash.begin(), hash.end(), header + 16);
    return file + entries;
}

bool Decode(const QByteArray& Bytes, TStringTable& Table, QString* Error)
{
    if (Bytes.size() < HeaderSize || !std::equal(std::begin(Magic), std::end(Magic), Bytes.begin()))
        return Fail(Error, QStringLiteral("not a language file"));
    const char* header = Bytes.constData();
    if (qFromLittleEndian<quint16>(header + 4) != FormatVersion)
        return Fail(Error, QStringLiteral("unknown language file version"));
    const quint32 count = qFromLittleEndian<quint32>(header + 8);
    const quint32 areaSize = qFromLittleEndian<quint32>(header + 12);
    if (quint64(Bytes.size()) != quint64(HeaderSize) + areaSize)
        return Fail(Error, QStringLiteral("the language file is truncated or has extra bytes"));
    const QByteArray entries = Bytes.mid(HeaderSize);
    if (QCryptographicHash::hash(entries, QCryptographicHash::Sha256) !=
        Bytes.mid(16, HashSize))
        return Fail(Error, QStringLiteral("the language file is damaged"));

    TStringTable table;
    qsizetype at = 0;
    for (quint32 n = 0; n < count; ++n) {
        if (entries.size() - at < 8)
            return Fail(Error, QStringLiteral("entry %1 is cut off").arg(n));
        const quint32 id = qFromLittleEndian<quint32>(entries.constData() + at);
        const quint32 length = qFromLittleEndian<quint32>(entries.constData() + at + 4);
        at += 8;
        if (id == 0 || id > quint32(std::numeric_limits<int>::max()))
            return Fail(Error, QStringLiteral("entry %1 has an invalid string id").arg(n));
        if (quint64(length) > quint64(entries.size() - at))
            return Fail(Error, QStringLiteral("entry %1 is cut off").arg(n));
        if (table.contains(int(id)))
            return Fail(Error, QStringLiteral("string id %1 appears twice").arg(id));
        table.insert(int(id), QString::fromUtf8(entries.constData() + at, length));
        at += length;
    }
    if (at != entries.size())
        return Fail(Error, QStringLiteral("the language file has bytes after its entries"));
    Table = std::move(table);
    return true;
}

bool Load(const QString& Path, TStringTable& Table, QString* Error)
{
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(Error, file.errorString());
    if (file.size() > MaxFileSize)
        return Fail(Error, QStringLiteral("the language file is too large"));
    return Decode(file.read(MaxFileSize + 1), Table, Error);
}

} // namespace TLanguageFile
