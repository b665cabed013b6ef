// The advance table read from the font file agrees with the advances
// FreeType works out for the same glyphs, and says so when it cannot answer.

#include "advance_table.h"
#include "application_setup.h"

#include <QApplication>
#include <QtTest>

class AdvanceTableTest : public QObject {
    Q_OBJECT

private slots:
    void addsUpTheFontsOwnAdvances()
    {
        const QFont font = QApplication::font();
        const QRawFont raw = QRawFont::fromFont(font);
        const AdvanceTable table(font);
        int measured = 0;
        for (const QString text : {QStringLiteral("MaxHP"), QStringLiteral("Clear 0123"),
                 QString::fromUtf8("このカードはスーパー化しない"), QString::fromUtf8("最低LV：")}) {
            const QList<quint32> glyphs = raw.glyphIndexesForString(text);
            if (glyphs.contains(0))
                continue;  // the application font lacks a character of it
            qreal expected = 0;
            for (const QPointF advance : raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics))
                expected += advance.x();
            const std::optional<qreal> width = table.width(text);
            QVERIFY2(width, qPrintable(text));
            // Qt keeps each advance to 1/64 px.
            QVERIFY2(qAbs(*width - expected) <= glyphs.size() / 64.0,
                qPrintable(QString("%1: %2 against %3").arg(text).arg(*width).arg(expected)));
            ++measured;
        }
        QVERIFY(measured >= 2);
    }

    void noAnswerForACharacterTheFontLacks()
    {
        const QFont font = QApplication::font();
        const QString lacking = QString(QChar(0xE000));  // private use: in no text font
        if (QRawFont::fromFont(font).supportsCharacter(lacking.at(0)))
            QSKIP("the application font has a glyph in the private use area");
        QVERIFY(!AdvanceTable(font).width("A" + lacking));
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    AdvanceTableTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "advance_table_test.moc"
