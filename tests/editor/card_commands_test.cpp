#include "card_folder.h"
#include "window_access.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>

// Load and Save as the user runs them: through the window's buttons and keys.
class CardCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CardFolder> folder;
    std::unique_ptr<frmVelmar> w;
    QStringList problems;
    int saveQuestions = 0;  // each answered "don't save"

    void click(const char* name) { QTest::mouseClick(w->findChild<QPushButton*>(name), Qt::LeftButton); }

    void typeTwoLevelCard()
    {
        typeInto(w.get(), "txtRarelity", "3");
        typeInto(w.get(), "txtMaxLv", "4");
        typeInto(w.get(), "txtMinLv", "1");
        combo(w.get(), "cboSuperMode")->setCurrentIndex(2);
        typeInto(w.get(), "txtMaxHP", "20");
        typeInto(w.get(), "txtPower", "10");
        typeInto(w.get(), "txtNomalWaza", "Strike");
        typeInto(w.get(), "txtExtWaza", "Blast");
        typeInto(w.get(), "txtExtWaza2", "30");
        typeInto(w.get(), "txtExtWaza3", "1");
        option(w.get(), 1)->click();
        typeInto(w.get(), "txtMaxHP", "30");
    }

private slots:
    void init()
    {
        folder = std::make_unique<CardFolder>();
        w = std::make_unique<frmVelmar>(folder->path());
        problems.clear();
        saveQuestions = 0;
        w->reportProblem = [this](const QString& message) { problems << message; };
        w->askSaveChanges = [this](const QString&, bool) {
            ++saveQuestions;
            return SaveChangesAnswer::DontSave;
        };
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

    void saveWritesTheCardOnScreen()
    {
        typeTwoLevelCard();  // level 2 is still on screen when saving
        click("cmdSave");
        QCOMPARE(folder->read("000.ini"), kTwoLevelCard);
        QVERIFY(problems.isEmpty());
        QCOMPARE(QApplication::focusWidget(), box(w.get(), "txtID"));
        QCOMPARE(box(w.get(), "txtID")->selectedText(), QString("000"));

        click("cmdClear");
        click("cmdSave");
        QCOMPARE(folder->read("000.ini"), std::string("[head]\r\nrare=\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n"));
    }

    void loadShowsLevelOneAndKeepsTheRest()
    {
        folder->write("7.ini", kTwoLevelCard);
        typeInto(w.get(), "txtID", "7");
        option(w.get(), 2)->click();
        typeInto(w.get(), "txtMaxHP", "level 3 before the load");
        click("cmdLoad");
        QCOMPARE(saveQuestions, 1);
        QVERIFY(option(w.get(), 0)->isChecked());
        QCOMPARE(w->currentLevel(), 0);
        QCOMPARE(box(w.get(), "txtRarelity")->text(), QString("3"));
        QCOMPARE(combo(w.get(), "cboSuperMode")->currentIndex(), 2);
        QCOMPARE(box(w.get(), "txtNomalWaza")->text(), QString("Strike"));
        QCOMPARE(box(w.get(), "txtExtWaza2")->text(), QString("30"));
        QCOMPARE(QApplication::focusWidget(), box(w.get(), "txtRarelity"));
        QCOMPARE(box(w.get(), "txtRarelity")->selectedText(), QString());
        // What level 3 showed before the load went nowhere.
        QCOMPARE(w->levelData()[2], LevelRecord{});
        option(w.get(), 1)->click();
        QCOMPARE(box(w.get(), "txtMaxHP")->text(), QString("30"));

        // Load then Save without edits gives the same file.
        click("cmdSave");
        QCOMPARE(folder->read("7.ini"), kTwoLevelCard);
    }

    void loadOfAMissingCardShowsItEmpty()
    {
        typeTwoLevelCard();
        combo(w.get(), "cboExWaza1")->setCurrentIndex(5);
        typeInto(w.get(), "txtID", "404");
        click("cmdLoad");
        QVERIFY(problems.isEmpty());
        QCOMPARE(box(w.get(), "txtRarelity")->text(), QString());
        QCOMPARE(box(w.get(), "txtMaxHP")->text(), QString());
        QCOMPARE(w->levelData()[1], LevelRecord{});
        // No "super" keeps the selection; an empty spec keeps the spec controls.
        QCOMPARE(combo(w.get(), "cboSuperMode")->currentIndex(), 2);
        QCOMPARE(combo(w.get(), "cboExWaza1")->currentIndex(), 5);
        QVERIFY(folder->names().empty());
    }

    void keyboardShortcutsRunSaveAndLoad()
    {
        typeInto(w.get(), "txtRarelity", "ショートカット");
        QTest::keyClick(box(w.get(), "txtRarelity"), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(folder->read("000.ini").substr(0, 21), std::string("[head]\r\nrare=\x83V\x83\x87\x81[\x83g", 21));
        typeInto(w.get(), "txtRarelity", "changed");
        QTest::keyClick(box(w.get(), "txtRarelity"), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(saveQuestions, 1);
        QCOMPARE(box(w.get(), "txtRarelity")->text(), QString("ショートカット"));
    }

    void unreadableCardLeavesTheWindowAsItWas()
    {
        std::filesystem::create_directory(folder->file("dir.ini"));
        typeTwoLevelCard();
        typeInto(w.get(), "txtID", "dir");
        click("cmdLoad");
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems[0].contains("dir.ini"));
        QCOMPARE(box(w.get(), "txtRarelity")->text(), QString("3"));
        QCOMPARE(w->currentLevel(), 1);
        QCOMPARE(box(w.get(), "txtMaxHP")->text(), QString("30"));
    }

    void failedSaveSaysWhyAndKeepsEverything()
    {
        const std::string old = "[head]\r\nrare=old\r\n";
        folder->write("000.ini", old);
        typeTwoLevelCard();
        typeInto(w.get(), "txtExtWaza", "Blast🔥");
        click("cmdSave");
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].contains("レベル2の拡張技") && problems[0].contains("🔥"), qPrintable(problems[0]));
        QCOMPARE(box(w.get(), "txtExtWaza")->text(), QString("Blast🔥"));
        QCOMPARE(folder->read("000.ini"), old);

        typeInto(w.get(), "txtExtWaza", "Blast");
        ::chmod(folder->file("000.ini").c_str(), 0444);
        click("cmdSave");
        QCOMPARE(problems.size(), 2);
        QVERIFY(problems[1].contains("000.ini") && problems[1].contains("読み取り専用"));
        QCOMPARE(folder->read("000.ini"), old);
        QCOMPARE(folder->names(), std::set<std::string>{"000.ini"});
    }

    void idsThatAreNotFileNamesAreRefused()
    {
        folder->write("000.ini", kTwoLevelCard);
        for (const char* id : {"../000", "a/b", "..\\000", "a\tb"}) {
            problems.clear();
            typeInto(w.get(), "txtRarelity", "x");
            w->findChild<QLineEdit*>("txtID")->setText(id);
            click("cmdSave");
            click("cmdLoad");
            QCOMPARE(problems.size(), 2);
            QCOMPARE(box(w.get(), "txtRarelity")->text(), QString("x"));
        }
        QCOMPARE(folder->names(), std::set<std::string>{"000.ini"});
        QCOMPARE(folder->read("000.ini"), kTwoLevelCard);
        QCOMPARE(saveQuestions, 0);  // a refused ID is told before anything is asked

        w->findChild<QLineEdit*>("txtID")->setText("");
        click("cmdSave");
        QVERIFY(folder->names().count(".ini"));
    }
};

QTEST_MAIN(CardCommandsTest)
#include "card_commands_test.moc"
