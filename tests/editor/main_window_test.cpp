#include "window_access.h"

#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    static QStringList tabWalk(QWidget* start, int steps, Qt::Key key = Qt::Key_Tab)
    {
        start->setFocus();
        QStringList seen{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(
                QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            seen << QApplication::focusWidget()->objectName();
        }
        return seen;
    }

private slots:
    void captionAndClientArea()
    {
        frmVelmar w(folder.path().toStdString());
        QCOMPARE(w.centralWidget()->size(), QSize(354, 321));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowHandle()->title(), QString("Ostra VozoZO Velmar"));
        // Fixed size: the menu bar sits above the client area, nothing else.
        QCOMPARE(w.size(), QSize(354, 321 + w.menuBar()->height()));
        QCOMPARE(w.centralWidget()->y(), w.menuBar()->height());
    }

    void controlsSitWhereTheLayoutSays()
    {
        frmVelmar w(folder.path().toStdString());
        struct Expect {
            const char* name;
            const char* parent;
            QRect rect;
        };
        // Twips / 15, rounded; positions inside a frame are from its outer corner.
        const Expect expected[] = {
            {"txtID", "", QRect(64, 7, 65, 18)},
            {"cmdLoad", "", QRect(136, 8, 65, 17)},
            {"cmdSave", "", QRect(200, 8, 65, 17)},
            {"cmdClear", "", QRect(280, 8, 65, 17)},
            {"Frame1", "", QRect(8, 32, 337, 89)},
            {"txtRarelity", "Frame1", QRect(64, 15, 33, 18)},
            {"cboSuperMode", "Frame1", QRect(112, 16, 217, 20)},
            {"Frame2", "", QRect(8, 128, 337, 185)},
            {"txtMaxHP", "Frame2", QRect(56, 47, 33, 18)},
            {"txtNomalWaza", "Frame2", QRect(24, 79, 137, 18)},
            {"Label8", "Frame2", QRect(144, 107, 17, 12)},
            {"txtExtWaza3", "Frame2", QRect(192, 152, 65, 18)},
            {"Label9", "Frame2", QRect(264, 155, 17, 12)},
            {"Line3", "Frame2", QRect(168, 72, 1, 104)},
            {"Line2", "Frame2", QRect(8, 40, 320, 1)},
        };
        for (const auto& e : expected) {
            auto* c = w.centralWidget()->findChild<QWidget*>(e.name);
            QVERIFY2(c, e.name);
            QCOMPARE(c->geometry(), e.rect);
            const QString parent = c->parentWidget() == w.centralWidget() ? "" : c->parentWidget()->objectName();
            QCOMPARE(parent, QString(e.parent));
        }
        QCOMPARE(w.findChildren<QRadioButton*>("optLv").size(), 4);
        QCOMPARE(option(&w, 3)->geometry(), QRect(128, 16, 33, 17));
        QCOMPARE(option(&w, 3)->text(), QString("4"));
    }

    void listsAreListOnlyAndNoButtonIsTheDefault()
    {
        frmVelmar w(folder.path().toStdString());
        QCOMPARE(combo(&w, "cboSuperMode")->count(), 4);
        QCOMPARE(combo(&w, "cboExWaza1")->count(), 7);
        QCOMPARE(combo(&w, "cboExtWaza2")->count(), 3);
        for (auto* c : w.findChildren<QComboBox*>())
            QVERIFY2(!c->isEditable(), qPrintable(c->objectName()));
        for (auto* b : w.findChildren<QPushButton*>())
            QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->objectName()));
    }

    void startsWithTheDefaults()
    {
        frmVelmar w(folder.path().toStdString());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(box(&w, "txtID")->text(), QString("000"));
        QCOMPARE(QApplication::focusWidget(), box(&w, "txtID"));
        for (const char* name : {"cboSuperMode", "cboExWaza1", "cboExtWaza2"})
            QCOMPARE(combo(&w, name)->currentIndex(), 0);
        QVERIFY(option(&w, 0)->isChecked());
        QCOMPARE(w.currentLevel(), 0);
        for (auto* b : w.findChildren<QLineEdit*>())
            if (b->objectName() != "txtID")
                QVERIFY2(b->text().isEmpty(), qPrintable(b->objectName()));
    }

    void tabFollowsTheTable()
    {
        frmVelmar w(folder.path().toStdString());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const QStringList order{"txtID", "cmdLoad", "cmdSave", "txtRarelity", "txtMaxLv", "txtMinLv", "cboSuperMode",
            "optLv", "txtMaxHP", "txtNomalWaza", "txtPower", "txtExtWaza", "cboExWaza1", "txtExtWaza2", "cboExtWaza2",
            "txtExtWaza3", "cmdClear", "txtID"};
        QCOMPARE(tabWalk(box(&w, "txtID"), int(order.size()) - 1), order);
        QStringList backwards = order;
        std::reverse(backwards.begin(), backwards.end());
        QCOMPARE(tabWalk(box(&w, "txtID"), int(order.size()) - 1, Qt::Key_Backtab), backwards);

        // Tab enters the level group at the selected option.
        option(&w, 2)->click();
        combo(&w, "cboSuperMode")->setFocus();
        QTest::keyClick(combo(&w, "cboSuperMode"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), option(&w, 2));
        QTest::keyClick(option(&w, 2), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box(&w, "txtMaxHP"));
        QTest::keyClick(box(&w, "txtMaxHP"), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), option(&w, 2));
    }

    void shiftDelCutsTextButClearsFromAButton()
    {
        frmVelmar w(folder.path().toStdString());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.askSaveChanges = [](const QString&, bool) { return SaveChangesAnswer::DontSave; };
        typeInto(&w, "txtRarelity", "5");
        typeInto(&w, "txtMaxHP", "120");
        box(&w, "txtMaxHP")->selectAll();
        QTest::keyClick(box(&w, "txtMaxHP"), Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(box(&w, "txtMaxHP")->text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QString("120"));
        QCOMPARE(box(&w, "txtRarelity")->text(), QString("5"));  // the card was not cleared

        auto* load = w.findChild<QPushButton*>("cmdLoad");
        load->setFocus();
        QTest::keyClick(load, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(box(&w, "txtRarelity")->text(), QString());
        QCOMPARE(QApplication::focusWidget(), box(&w, "txtID"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
