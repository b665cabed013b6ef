// The window as a person first sees it, rendered offscreen: frames that keep
// clear of the controls, texts that fit their boxes, and characters the main
// font lacks drawn from a fallback font. Run at QT_SCALE_FACTOR 1 and 2.

#include "application_setup.h"
#include "window_access.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// The bounding box of the pixels that differ from the background colour.
QRect inkBox(const QImage& image, QRgb background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

QRgb backgroundOf(const QWidget* w) { return w->palette().color(QPalette::Window).rgb(); }

QImage picture(QWidget* w) { return w->grab().toImage(); }

// The same widget with room to spare: the text's ink as it should look.
QImage pictureWithRoom(QWidget* w)
{
    const QSize tableSize = w->size();
    w->resize(tableSize + QSize(200, 40));  // centred text moves by a whole 20 px
    QImage image = picture(w);
    w->resize(tableSize);
    return image;
}

// The controls of one container, decorative rules left out.
QList<QWidget*> controlsIn(QWidget* container)
{
    QList<QWidget*> found;
    for (auto* c : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!c->objectName().startsWith("Line") && !qobject_cast<QGroupBox*>(c))
            found << c;
    return found;
}

}  // namespace

class WindowLookTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

private slots:
    // Between two controls side by side, only the window's background shows:
    // no frame border runs through a row of controls.
    void gapsBetweenControlsShowTheBackground()
    {
        frmVelmar w(folder.path().toStdString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget* client = w.centralWidget();
        const QImage image = picture(client);
        const qreal ratio = image.devicePixelRatio();
        const QRgb background = backgroundOf(client);
        QList<QRect> rules;  // in device pixels, a pixel wider for rounding
        for (auto* rule : client->findChildren<QWidget*>(QRegularExpression("^Line")))
            rules << QRectF(
                QRectF(rule->mapTo(client, QPoint()), rule->size()).topLeft() * ratio, QSizeF(rule->size()) * ratio)
                         .toAlignedRect()
                         .adjusted(-1, -1, 1, 1);

        int gapsSeen = 0;
        for (QWidget* container :
            {client, client->findChild<QWidget*>("Frame1"), client->findChild<QWidget*>("Frame2")}) {
            const QList<QWidget*> controls = controlsIn(container);
            for (QWidget* a : controls) {
                for (QWidget* b : controls) {
                    const QRect ra = a->geometry(), rb = b->geometry();
                    const int top = std::max(ra.top(), rb.top()), bottom = std::min(ra.bottom(), rb.bottom());
                    if (a == b || top > bottom || rb.left() <= ra.right())
                        continue;
                    QRect gap(QPoint(ra.right() + 1, top), QPoint(rb.left() - 1, bottom));
                    const bool between = std::any_of(controls.begin(), controls.end(),
                        [&](QWidget* c) { return c != a && c != b && c->geometry().intersects(gap); });
                    if (between)
                        continue;
                    ++gapsSeen;
                    gap.moveTopLeft(container->mapTo(client, gap.topLeft()));
                    // Device pixels wholly inside the gap, one in from either side.
                    const int x0 = int(std::ceil(gap.left() * ratio)) + 1;
                    const int x1 = int(std::floor((gap.right() + 1) * ratio)) - 2;
                    const int y0 = int(std::ceil(gap.top() * ratio));
                    const int y1 = int(std::floor((gap.bottom() + 1) * ratio)) - 1;
                    for (int y = y0; y <= y1; ++y)
                        for (int x = x0; x <= x1; ++x) {
                            const bool onRule = std::any_of(
                                rules.begin(), rules.end(), [&](const QRect& r) { return r.contains(x, y); });
                            if (!onRule && image.pixel(x, y) != background)
                                QFAIL(qPrintable(QString("between %1 and %2, pixel (%3, %4) is not the background")
                                                     .arg(a->objectName(), b->objectName())
                                                     .arg(x)
                                                     .arg(y)));
                        }
                }
            }
        }
        QVERIFY2(gapsSeen >= 12, "the window's rows of controls were not found");
    }

    // The caption sits on the frame's top border, the line through the middle
    // of its letters, all of it above the frame's first row of controls.
    void framesCarryTheirCaptionOnTheBorder()
    {
        frmVelmar w(folder.path().toStdString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (auto* frame : w.findChildren<QGroupBox*>()) {
            const QImage image = picture(frame);
            const qreal ratio = image.devicePixelRatio();
            const QRgb background = backgroundOf(frame);
            int firstRow = frame->height();
            for (QWidget* c : controlsIn(frame))
                firstRow = std::min(firstRow, c->y());
            const int firstRowPx = int(firstRow * ratio);

            // The border's top line, far right of the caption.
            const int far = image.width() - int(20 * ratio);
            int line = 0;
            while (line < image.height() && image.pixel(far, line) == background)
                ++line;
            QVERIFY2(line < firstRowPx, qPrintable(frame->objectName() + ": border not above the first row"));

            // The caption: where the border line is interrupted.
            const QRgb border = image.pixel(far, line);
            const auto lineAt = [&](int x) {
                for (int i = 0; i < 4; ++i)
                    if (image.pixel(x + i, line) != border)
                        return false;
                return true;
            };
            int left = int(4 * ratio);
            while (left < far && image.pixel(left, line) == border)
                ++left;
            int right = left;
            while (right < far && !lineAt(right))
                ++right;
            QVERIFY2(right - left > 10 * ratio, qPrintable(frame->objectName() + ": no caption on the border"));
            const QRect caption = inkBox(image.copy(left, 0, right - left, firstRowPx), background);
            QVERIFY2(caption.isValid(), qPrintable(frame->objectName() + ": caption not drawn"));
            const int middle = (caption.top() + caption.bottom()) / 2;
            QVERIFY2(std::abs(line - middle) <= caption.height() / 4,
                qPrintable(QString("%1: border at %2, caption rows %3..%4")
                               .arg(frame->objectName())
                               .arg(line)
                               .arg(caption.top())
                               .arg(caption.bottom())));
        }
    }

    // At the table's sizes nothing is cut: list entries, labels, level
    // options, and the mnemonic underlines of Load and Save.
    void textsFitTheirBoxes()
    {
        frmVelmar w(folder.path().toStdString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        for (auto* box : w.findChildren<QComboBox*>()) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            const QRect field
                = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
            for (int i = 0; i < box->count(); ++i) {
                // Fusion draws the entry one pixel inside the field on either side.
                const int width = box->fontMetrics().horizontalAdvance(box->itemText(i));
                QVERIFY2(width <= field.width() - 2, qPrintable(QString("%1 \"%2\": %3 px, room for %4")
                                                                    .arg(box->objectName(), box->itemText(i))
                                                                    .arg(width)
                                                                    .arg(field.width() - 2)));
            }
        }

        QList<QWidget*> captioned;
        for (auto* label : w.centralWidget()->findChildren<QLabel*>())
            captioned << label;
        for (auto* option : w.findChildren<QRadioButton*>())
            captioned << option;
        QVERIFY(captioned.size() >= 13);
        for (QWidget* c : captioned) {
            const QRgb background = backgroundOf(c);
            const QRect shown = inkBox(picture(c), background);
            const QRect whole = inkBox(pictureWithRoom(c), background);
            QVERIFY2(shown.size() == whole.size(), qPrintable(QString("%1: ink %2x%3 of %4x%5 shown")
                                                                  .arg(c->objectName())
                                                                  .arg(shown.width())
                                                                  .arg(shown.height())
                                                                  .arg(whole.width())
                                                                  .arg(whole.height())));
        }

        for (const char* name : {"cmdLoad", "cmdSave"}) {
            auto* button = w.findChild<QPushButton*>(name);
            QStyleOption option;
            option.initFrom(button);
            if (!button->style()->styleHint(QStyle::SH_UnderlineShortcut, &option, button))
                QSKIP("this style hides mnemonic underlines");
            const QString text = button->text();
            const QImage withUnderline = picture(button);
            button->setText(QString(text).remove('&'));
            QImage without = picture(button);
            button->setText(text);
            for (int y = 0; y < without.height(); ++y)
                for (int x = 0; x < without.width(); ++x)
                    without.setPixel(x, y, without.pixel(x, y) == withUnderline.pixel(x, y) ? 0 : 0xff000000);
            const QRect underline = inkBox(without, 0);
            const qreal ratio = withUnderline.devicePixelRatio();
            const QFontMetrics metrics(button->font());
            QVERIFY2(underline.height() >= int(metrics.lineWidth() * ratio), name);
            QVERIFY2(underline.width() >= int((metrics.horizontalAdvance(text.at(1)) - 2) * ratio), name);
        }
    }

    // The window's own texts need no fallback font, so start-up looks none
    // up; a character the main font lacks switches the box that shows it to
    // the font with fallback, and back when it is gone. Messages too.
    void fallbackOnlyWhereATextNeedsIt()
    {
        const QFont main = QApplication::font();
        if (!(main.styleStrategy() & QFont::NoFontMerging))
            QSKIP("the Japanese font is not installed: the application font falls back already");
        frmVelmar w(folder.path().toStdString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (auto* c : w.findChildren<QWidget*>())
            QVERIFY2(c->font().styleStrategy() & QFont::NoFontMerging, qPrintable(c->objectName()));
        const QFontMetrics mainMetrics(main);
        QStringList texts;
        for (auto* label : w.centralWidget()->findChildren<QLabel*>())
            texts << label->text();
        for (auto* box : w.findChildren<QComboBox*>())
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
        for (const QString& text : texts)
            for (const char32_t c : text.toUcs4())
                QVERIFY2(mainMetrics.inFontUcs4(c), qPrintable(text));

        const char32_t armenian = U'\u0531';  // not in Noto Sans CJK JP, in DejaVu Sans
        if (mainMetrics.inFontUcs4(armenian) || QFontDatabase::families(QFontDatabase::Armenian).isEmpty())
            QSKIP("needs a font with Armenian letters besides the main font");
        typeInto(&w, "txtNomalWaza", QString::fromUtf8("突きԱ"));
        QLineEdit* move = box(&w, "txtNomalWaza");
        QVERIFY(QFontMetrics(move->font()).inFontUcs4(armenian));
        QCOMPARE(move->font().family(), main.family());
        QCOMPARE(move->font().pointSize(), main.pointSize());
        typeInto(&w, "txtNomalWaza", QString::fromUtf8("突き"));
        QVERIFY(move->font().styleStrategy() & QFont::NoFontMerging);

        // Saving it is refused (Shift-JIS has no such letter); the message
        // quotes the letter and draws it.
        typeInto(&w, "txtMaxHP", "10");
        typeInto(&w, "txtNomalWaza", QString::fromUtf8("Ա"));
        bool messageDrawsIt = false, messageShown = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            messageShown = box->text().toUcs4().contains(armenian);
            messageDrawsIt = QFontMetrics(box->font()).inFontUcs4(armenian);
            box->accept();
        });
        w.cmdSave_Click();
        QVERIFY(messageShown);
        QVERIFY(messageDrawsIt);
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    WindowLookTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_look_test.moc"
