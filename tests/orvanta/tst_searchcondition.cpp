#include "service/SearchCondition.h"

#include <QTest>

Q_DECLARE_METATYPE(TSearchField)

class TestSearchCondition : public QObject
{
    Q_OBJECT
private slots:
    void acceptsClientConditions_data();
    void acceptsClientConditions();
    void refusesEverythingElse_data();
    void refusesEverythingElse();
};

void TestSearchCondition::acceptsClientConditions_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TSearchField>("field");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("pattern");

    const auto first = TSearchField::FirstName;
    const auto last = TSearchField::LastName;
    const auto email = TSearchField::Email;

    QTest::newRow("underscore by e-mail") << QByteArray("p.email LIKE N'ab[_]c%'") << email
                                          << "ab_c" << R"(ab\_c%)";
    QTest::newRow("percent by first name") << QByteArray("p.first_name LIKE N'100[%]%'") << first
                                           << "100%" << R"(100\%%)";
    QTest::newRow("both wildcards, % bracketed first")
        << QByteArray("p.last_name LIKE N'50[%][_]off%'") << last << "50%_off" << R"(50\%\_off%)";
    QTest::newRow("doubled quote") << QByteArray("p.last_name LIKE N'O''Brien%'") << last
                                   << "O'Brien" << "O'Brien%";
    QTest::newRow("quote at both ends") << QByteArray("p.last_name LIKE N'''x''%'") << last
                                        << "'x'" << "'x'%";
    QTest::newRow("backslash is escaped before wildcards")
        << QByteArray(R"(p.email LIKE N'a\[%]b\%')") << email << R"(a\%b\)" << R"(a\\\%b\\%)";
    QTest::newRow("bracketed bracket and lone closing bracket")
        << QByteArray("p.first_name LIKE N'[[]x]%'") << first << "[x]" << "[x]%";
    QTest::newRow("latin with diacritics") << QByteArray("p.first_name LIKE N'J\xC3\xBCrgen%'")
                                           << first << QString::fromUtf8("J\xC3\xBCrgen")
                                           << QString::fromUtf8("J\xC3\xBCrgen%");
    QTest::newRow("cyrillic") << QByteArray("p.last_name LIKE N'\xD0\x98\xD0\xB2\xD0\xB0%'")
                              << last << QString::fromUtf8("\xD0\x98\xD0\xB2\xD0\xB0")
                              << QString::fromUtf8("\xD0\x98\xD0\xB2\xD0\xB0%");
    QTest::newRow("outside the BMP") << QByteArray("p.first_name LIKE N'a\xF0\x9F\x98\x80[_]%'")
                                     << first << QString::fromUtf8("a\xF0\x9F\x98\x80_")
                                     << QString::fromUtf8("a\xF0\x9F\x98\x80\\_%");
    QTest::newRow("empty prefix") << QByteArray("p.email LIKE N'%'") << email << "" << "%";
    QTest::newRow("keywords and field in any case")
        << QByteArray("P.Email like n'x%'") << email << "x" << "x%";
    QTest::newRow("extra spaces around LIKE")
        << QByteArray("p.first_name   LIKE  N'x%'") << first << "x" << "x%";
}

void TestSearchCondition::acceptsClientConditions()
{
    QFETCH(QByteArray, text);
    QFETCH(TSearchField, field);
    QFETCH(QString, prefix);
    QFETCH(QString, pattern);

    QString error;
    const std::optional<TSearchCondition> condition = ParseSearchCondition(text, &error);
    QVERIFY2(condition, qPrintable(error));
    QCOMPARE(condition->Field, field);
    QCOMPARE(condition->Prefix, prefix);
    QCOMPARE(LikePattern(*condition), pattern);
}

void TestSearchCondition::refusesEverythingElse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");

    const QString injected = "text after the closing quote";
    const QString wildcard = "unescaped wildcard in the text";
    const QString lone = "lone quote in the text";
    const QString unterminated = "unterminated literal";
    const QString bracket = "invalid bracket sequence in the text";
    const QString field = "unknown field";
    const QString like = "expected LIKE after the field";
    const QString literal = "expected N'...' after LIKE";

    QTest::newRow("OR 1=1") << QByteArray("p.email LIKE N'a%' OR 1=1 --") << injected;
    QTest::newRow("stacked statement")
        << QByteArray("p.email LIKE N'a%'; DROP TABLE users; --") << injected;
    QTest::newRow("comment after") << QByteArray("p.email LIKE N'a%'--") << injected;
    QTest::newRow("trailing space") << QByteArray("p.email LIKE N'a%' ") << injected;
    QTest::newRow("OR with a quoted tail") << QByteArray("p.email LIKE N'a%' OR 'x'='x'")
                                           << injected;
    QTest::newRow("injection before the wildcard")
        << QByteArray("p.email LIKE N'a' OR 1=1 --%'") << lone;
    QTest::newRow("lone quote") << QByteArray("p.last_name LIKE N'O'Brien%'") << lone;

    QTest::newRow("unknown field") << QByteArray("p.password LIKE N'a%'") << field;
    QTest::newRow("other table") << QByteArray("u.email LIKE N'a%'") << field;
    QTest::newRow("field without alias") << QByteArray("email LIKE N'a%'") << field;
    QTest::newRow("leading space") << QByteArray(" p.email LIKE N'a%'") << field;
    QTest::newRow("tab as separator") << QByteArray("p.email\tLIKE N'a%'") << field;
    QTest::newRow("field that folds to a known one") // long s
        << QByteArray("p.fir\xC5\xBFt_name LIKE N'a%'") << field;
    QTest::newRow("letter whose low byte is s") // U+0173
        << QByteArray("p.fir\xC5\xB3t_name LIKE N'a%'") << field;

    QTest::newRow("= instead of LIKE") << QByteArray("p.email = N'a%'") << like;
    QTest::newRow("NOT LIKE") << QByteArray("p.email NOT LIKE N'a%'") << like;
    QTest::newRow("LIKE that only folds to LIKE") // Kelvin sign
        << QByteArray("p.email LI\xE2\x84\xAA" "E N'a%'") << like;
    QTest::newRow("LIKE glued to the literal") << QByteArray("p.email LIKEN'a%'") << like;
    QTest::newRow("field alone") << QByteArray("p.email") << like;

    QTest::newRow("missing N") << QByteArray("p.email LIKE 'a%'") << "missing N before the literal";
    QTest::newRow("space after N") << QByteArray("p.email LIKE N 'a%'") << literal;
    QTest::newRow("double quotes") << QByteArray("p.email LIKE N\"a%\"") << literal;
    QTest::newRow("nothing after LIKE") << QByteArray("p.email LIKE ") << literal;

    QTest::newRow("missing final %") << QByteArray("p.email LIKE N'abc'") << "not a prefix match";
    QTest::newRow("only a bracketed %") << QByteArray("p.email LIKE N'abc[%]'")
                                        << "not a prefix match";

    QTest::newRow("% inside") << QByteArray("p.email LIKE N'a%b%'") << wildcard;
    QTest::newRow("_ inside") << QByteArray("p.email LIKE N'a_b%'") << wildcard;
    QTest::newRow("leading %") << QByteArray("p.email LIKE N'%a%'") << wildcard;
    QTest::newRow("doubled final %") << QByteArray("p.email LIKE N'a%%'") << wildcard;
    QTest::newRow("quote after the wildcard") << QByteArray("p.email LIKE N'a%'''") << wildcard;

    QTest::newRow("no closing quote") << QByteArray("p.email LIKE N'abc%") << unterminated;
    QTest::newRow("closing quote doubled") << QByteArray("p.email LIKE N'abc%''") << unterminated;
    QTest::newRow("only the opening quote") << QByteArray("p.email LIKE N'") << unterminated;

    QTest::newRow("character class") << QByteArray("p.email LIKE N'[a]%'") << bracket;
    QTest::newRow("negated class") << QByteArray("p.email LIKE N'[^a]%'") << bracket;
    QTest::newRow("empty brackets") << QByteArray("p.email LIKE N'[]%'") << bracket;
    QTest::newRow("unclosed bracket") << QByteArray("p.email LIKE N'a[%'") << bracket;

    QTest::newRow("NUL in the text") << (QByteArray("p.email LIKE N'a") + '\0' + "b%'")
                                     << "control character in the text";
    QTest::newRow("empty input") << QByteArray() << "empty condition";
    QTest::newRow("broken sequence") << QByteArray("p.email LIKE N'\xC3\x28%'")
                                     << "not valid UTF-8";
    QTest::newRow("overlong encoding of a quote") << QByteArray("p.email LIKE N'a\xC0\xA7%'")
                                                  << "not valid UTF-8";
    QTest::newRow("encoded surrogate") << QByteArray("p.email LIKE N'\xED\xA0\x80%'")
                                       << "not valid UTF-8";
}

void TestSearchCondition::refusesEverythingElse()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);

    QString error;
    QVERIFY(!ParseSearchCondition(text, &error));
    QCOMPARE(error, reason);
    QVERIFY(!ParseSearchCondition(text));
}

QTEST_GUILESS_MAIN(TestSearchCondition)
#include "tst_searchcondition.moc"
