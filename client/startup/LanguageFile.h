#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// String tables: the program's texts by string id.
//
// Text form (the built-in table, and what translators edit): UTF-8, one entry
// per line, "<id><TAB><text>"; lines starting with '#' and blank lines are
// skipped. In the text, \n, \r, \t and \\ stand for a line feed, a carriage
// return, a tab and a backslash; no other backslash sequence is allowed.
//
// Language file (".ln0", made from the text form by the krlang tool), all
// integers little-endian:
//   offset  size  field
//        0     4  magic "KRLN"
//        4     2  format version, 1
//        6     2  reserved, 0
//        8     4  number of entries N
//       12     4  size P of the entry area in bytes
//       16    32  SHA-256 of the entry area
//       48     P  N entries: id (4 bytes, 1 to 2^31-1), length L (4 bytes),
//                 then L bytes of UTF-8 text
// The file ends right after the entry area. A file that breaks any of these
// rules (other magic, truncated, damaged, a repeated id) is refused whole.
using TStringTable = QHash<int, QString>;

namespace TLanguageFile {

inline constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

// Adds the entries of a text table; on a bad line, Error says which and why.
bool ParseTextTable(const QByteArray& Text, TStringTable& Table, QString* Error = nullptr);
QByteArray ToTextTable(const TStringTable& Table); // sorted by id

QByteArray Encode(const TStringTable& Table);
bool Decode(const QByteArray& Bytes, TStringTable& Table, QString* Error = nullptr);

// Reads and decodes a language file.
bool Load(const QString& Path, TStringTable& Table, QString* Error = nullptr);

} // namespace TLanguageFile
