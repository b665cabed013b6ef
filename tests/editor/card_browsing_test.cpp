#include "card_folder.h"
#include "id_suggestions.h"
#include "window_access.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMenuBar>
#include <QtTest>

// Going from card to card in the window: the caption's "*", the question
// before changes are dropped, the list under the ID box, next and previous.
class CardBrowsingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CardFolder> folder;
    std::unique_ptr<frmVelmar> w;
    QStringList questions;
    SaveChangesAnswer answer = SaveChangesAnswer::Cancel;

    QString caption() const { return w->windowHandle()->title(); }
    // Keys go where the system sends them: to the open list, else the focus.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::activePopupWidget();
        QTest::keyClick(target ? target : QApplication::focusWidget(), key, modifiers);
    }
    static void typeKeys(const QString& text)
    {
        for (const QChar c : text)
            press(Qt::Key(c.toUpper().unicode()));
    }
    QStringList listShown() const
    {
        QStringList rows;
        const auto* list = qobject_cast<QAbstractItemView*>(w->idSuggestions()->list());
        if (list && list->isVisible())
            for (int row = 0; row < list->model()->rowCount(); ++row)
                rows << list->model()->index(row, 0).data().toString();
        return rows;
    }

private slots:
    void init()
    {
        folder = std::make_unique<CardFolder>();
        folder->write("100.ini", "[head]\r\nrare=1\r\n[Lv1]\r\nHP=10\r\nP=1\r\n1=Strike\r\nS=N/1P/1\r\n2=Blast\r\n");
        folder->write("101.ini", "[head]\r\nrare=2\r\n[Lv1]\r\nHP=20\r\nP=2\r\n1=Kick\r\n");
        folder->write("200.ini", "[head]\r\nrare=3\r\n[Lv1]\r\nHP=30\r\nP=3\r\n1=Strike Back\r\n");
        w = std::make_unique<frmVelmar>(folder->path());
        questions.clear();
        answer = SaveChangesAnswer::Cancel;
        w->askSaveChanges = [this](const QString& question, bool) {
            questions << question;
            return answer;
        };
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

    void theCaptionShowsUnsavedChangesAndClosingAsks()
    {
        QCOMPARE(caption(), QString("Ostra VozoZO Velmar"));
        typeInto(w.get(), "txtMaxHP", "99");
        QCOMPARE(caption(), QString("Ostra VozoZO Velmar*"));
        typeInto(w.get(), "txtMaxHP", "");
        QCOMPARE(caption(), QString("Ostra VozoZO Velmar"));

        combo(w.get(), "cboSuperMode")->setCurrentIndex(3);
        QCOMPARE(caption(), QString("Ostra VozoZO Velmar*"));
        QVERIFY(!w->close());  // Cancel
        QVERIFY(w->isVisible());
        answer = SaveChangesAnswer::DontSave;
        QVERIFY(w->close());
        QCOMPARE(questions.size(), 2);
    }

    void theFileMenuKeepsItsItemsFirst()
    {
        QStringList items;
        for (QAction* item : w->findChild<QMenu*>("mnuFile")->actions())
            items << (item->isSeparator() ? "-" : item->objectName() + " " + item->shortcut().toString());
        QCOMPARE(items, (QStringList{"mnuFileSave Ctrl+S", "mnuFileLoad Ctrl+O", "mnuFileClear Shift+Del", "-",
                            "mnuFileNext Ctrl+PgDown", "mnuFilePrevious Ctrl+PgUp", "mnuFileReport "}));
        box(w.get(), "txtID")->setFocus();
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(box(w.get(), "txtID")->text(), QString("100"));
        press(Qt::Key_PageDown, Qt::ControlModifier);
        press(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(box(w.get(), "txtRarelity")->text(), QString("1"));
    }

    void theListFollowsTypingAndShortcutsActAtOnce()
    {
        QLineEdit* id = box(w.get(), "txtID");
        id->setFocus();
        id->selectAll();
        typeKeys("1");
        QCOMPARE(listShown(), (QStringList{"100　Strike / Blast", "101　Kick"}));
        QCOMPARE(QApplication::focusWidget(), id);
        typeKeys("0");
        QTRY_COMPARE(listShown(), (QStringList{"100　Strike / Blast", "101　Kick"}));
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(id->text(), QString("10"));  // moving through the list leaves the text as typed
        press(Qt::Key_Return);
        QCOMPARE(id->text(), QString("101"));
        QCOMPARE(box(w.get(), "txtRarelity")->text(), QString("2"));
        QVERIFY(listShown().isEmpty());

        id->setFocus();
        id->selectAll();
        typeKeys("strike");  // by move name, letter case aside, once the cards are read
        QTRY_COMPARE(listShown(), (QStringList{"100　Strike / Blast", "200　Strike Back"}));
        press(Qt::Key_Escape);
        QVERIFY(listShown().isEmpty());
        QCOMPARE(id->text(), QString("strike"));

        id->selectAll();
        typeKeys("20");
        QVERIFY(!listShown().isEmpty());
        press(Qt::Key_O, Qt::ControlModifier);  // Load of the ID typed, at once
        QVERIFY(listShown().isEmpty());
        QCOMPARE(box(w.get(), "txtRarelity")->text(), QString());  // 20.ini: no such card
        QCOMPARE(id->text(), QString("20"));
        QVERIFY(questions.isEmpty());
    }
};

QTEST_MAIN(CardBrowsingTest)
#include "card_browsing_test.moc"
