// krlang: makes a language file (.ln0) from a string table in text form, or
// shows a language file as text.
//
//   krlang TABLE.txt OUTPUT.ln0
//   krlang --dump FILE.ln0
#include "startup/LanguageFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

namespace {

int Usage()
{
    std::fputs("usage: krlang TABLE.txt OUTPUT.ln0\n       krlang --dump FILE.ln0\n", stderr);
    return 2;
}

int Fail(const QString& Message)
{
    std::fprintf(stderr, "krlang: %s\n", qPrintable(Message));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() != 2)
        return Usage();

    TStringTable table;
    QString error;
    if (arguments.at(0) == QLatin1String("--dump")) {
        if (!TLanguageFile::Load(arguments.at(1), table, &error))
            return Fail(QStringLiteral("%1: %2").arg(arguments.at(1), error));
        const QByteArray text = TLanguageFile::ToTextTable(table);
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }

    QFile source(arguments.at(0));
    if (!source.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("%1: %2").arg(arguments.at(0), source.errorString()));
    if (!TLanguageFile::ParseTextTable(source.readAll(), table, &error))
        return Fail(QStringLiteral("%1: %2").arg(arguments.at(0), error));
    QSaveFile target(arguments.at(1));
    if (!target.open(QIODevice::WriteOnly) || target.write(TLanguageFile::Encode(table)) < 0 ||
        !target.commit())
        return Fail(QStringLiteral("%1: %2").arg(arguments.at(1), target.errorString()));
    return 0;
}
