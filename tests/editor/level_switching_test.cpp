#include "window_access.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct LevelScreen {
    QString maxHP, power, normal, ext, amount, count;
    int range, effect;
    bool operator==(const LevelScreen&) const = default;
};

LevelScreen screen(QWidget* w)
{
    return {box(w, "txtMaxHP")->text(), box(w, "txtPower")->text(), box(w, "txtNomalWaza")->text(),
        box(w, "txtExtWaza")->text(), box(w, "txtExtWaza2")->text(), box(w, "txtExtWaza3")->text(),
        combo(w, "cboExWaza1")->currentIndex(), combo(w, "cboExtWaza2")->currentIndex()};
}

void type(QWidget* w, const LevelScreen& s)
{
    typeInto(w, "txtMaxHP", s.maxHP);
    typeInto(w, "txtPower", s.power);
    typeInto(w, "txtNomalWaza", s.normal);
    typeInto(w, "txtExtWaza", s.ext);
    typeInto(w, "txtExtWaza2", s.amount);
    typeInto(w, "txtExtWaza3", s.count);
    combo(w, "cboExWaza1")->setCurrentIndex(s.range);
    combo(w, "cboExtWaza2")->setCurrentIndex(s.effect);
}

}  // namespace

class LevelSwitchingTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    std::unique_ptr<frmVelmar> w;

private slots:
    void init()
    {
        w = std::make_unique<frmVelmar>(folder.path().toStdString());
        w->askSaveChanges = [](const QString&, bool) { return SaveChangesAnswer::DontSave; };
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

    void levelsComeBackWhole()
    {
        const LevelScreen one{"20", "10", "Strike", "Blast", "30", "2", 1, 1};
        const LevelScreen two{"30", "", "突き", "", "５", "", 4, 2};
        type(w.get(), one);
        QTest::mouseClick(option(w.get(), 1), Qt::LeftButton);
        QCOMPARE(w->currentLevel(), 1);
        QCOMPARE(w->levelData()[0].ExtWazaSpec, std::string("1F/30D/2"));
        type(w.get(), two);
        QTest::mouseClick(option(w.get(), 0), Qt::LeftButton);
        QCOMPARE(screen(w.get()), one);
        QTest::mouseClick(option(w.get(), 1), Qt::LeftButton);
        QCOMPARE(screen(w.get()), two);
        QCOMPARE(w->levelData()[0], (LevelRecord{"20", "10", "1F/30D/2", "Strike", "Blast"}));
    }

    void aNewLevelKeepsTheExtendedMoveControls()
    {
        type(w.get(), {"20", "10", "Strike", "Blast", "30", "2", 3, 2});
        option(w.get(), 2)->click();
        // Level 3 was never shown: its texts are empty, the four spec controls stay.
        QCOMPARE(screen(w.get()), (LevelScreen{"", "", "", "", "30", "2", 3, 2}));
        option(w.get(), 0)->click();
        QCOMPARE(w->levelData()[2].ExtWazaSpec, std::string("A/30E/2"));
    }

    void specWithSlashInCountIsNotDecoded()
    {
        type(w.get(), {"1", "", "", "x", "5", "1/2", 2, 0});
        option(w.get(), 1)->click();
        QCOMPARE(w->levelData()[0].ExtWazaSpec, std::string("2F/5P/1/2"));
        type(w.get(), {"2", "", "", "y", "9", "3", 5, 1});
        option(w.get(), 0)->click();
        // Level 1 shows its texts, but the four spec controls keep level 2's values.
        QCOMPARE(screen(w.get()), (LevelScreen{"1", "", "", "x", "9", "3", 5, 1}));
    }

    void arrowKeysAndCodeSwitchLevels()
    {
        typeInto(w.get(), "txtMaxHP", "11");
        option(w.get(), 0)->setFocus();
        QTest::keyClick(option(w.get(), 0), Qt::Key_Right);
        QVERIFY(option(w.get(), 1)->isChecked());
        QCOMPARE(w->currentLevel(), 1);
        QCOMPARE(w->levelData()[0].MaxHP, std::string("11"));
        QCOMPARE(box(w.get(), "txtMaxHP")->text(), QString());

        typeInto(w.get(), "txtMaxHP", "22");
        option(w.get(), 3)->setChecked(true);
        QCOMPARE(w->currentLevel(), 3);
        QCOMPARE(w->levelData()[1].MaxHP, std::string("22"));

        option(w.get(), 3)->setFocus();
        QTest::keyClick(option(w.get(), 3), Qt::Key_Left);
        QCOMPARE(w->currentLevel(), 2);
    }

    void clickingTheShownLevelChangesNothing()
    {
        const LevelScreen typed{"5", "6", "a", "b", "7", "8", 6, 2};
        type(w.get(), typed);
        QTest::mouseClick(option(w.get(), 0), Qt::LeftButton);
        QCOMPARE(screen(w.get()), typed);
        w->optLv_Click(0);
        QCOMPARE(screen(w.get()), typed);
        QCOMPARE(w->currentLevel(), 0);
    }

    void clearEmptiesTheCardAndShowsLevelOne()
    {
        typeInto(w.get(), "txtID", "123");
        typeInto(w.get(), "txtRarelity", "3");
        typeInto(w.get(), "txtMaxLv", "4");
        typeInto(w.get(), "txtMinLv", "1");
        combo(w.get(), "cboSuperMode")->setCurrentIndex(2);
        type(w.get(), {"20", "10", "Strike", "Blast", "30", "2", 1, 1});
        option(w.get(), 2)->click();
        type(w.get(), {"40", "", "", "", "1", "1", 4, 2});

        QTest::mouseClick(w->findChild<QWidget*>("cmdClear"), Qt::LeftButton);

        QVERIFY(option(w.get(), 0)->isChecked());
        QCOMPARE(w->currentLevel(), 0);
        QCOMPARE(screen(w.get()), (LevelScreen{"", "", "", "", "", "", 0, 0}));
        for (const char* name : {"txtRarelity", "txtMaxLv", "txtMinLv"})
            QCOMPARE(box(w.get(), name)->text(), QString());
        QCOMPARE(combo(w.get(), "cboSuperMode")->currentIndex(), 0);
        QCOMPARE(box(w.get(), "txtID")->text(), QString("123"));
        QCOMPARE(QApplication::focusWidget(), box(w.get(), "txtID"));
        QCOMPARE(box(w.get(), "txtID")->selectedText(), QString("123"));

        option(w.get(), 2)->click();
        QCOMPARE(screen(w.get()), (LevelScreen{"", "", "", "", "", "", 0, 0}));
        QCOMPARE(w->levelData()[1], LevelRecord{});
    }
};

QTEST_MAIN(LevelSwitchingTest)
#include "level_switching_test.moc"
