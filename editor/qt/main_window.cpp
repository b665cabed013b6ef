#include "main_window.h"

#include "card_fields.h"
#include "classic_controls.h"
#include "combo_accessibility.h"
#include "font_fallback.h"
#include "form_layout.h"
#include "id_suggestions.h"
#include "japanese_font.h"
#include "list_on_open_combo_box.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

using form_layout::px;

namespace {

QString qs(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

void fillList(QComboBox* box, std::span<const char* const> entries)
{
    for (const char* entry : entries)
        box->addItem(qs(entry));
}

QWidget* makeRule(const form_layout::Line& line, QWidget* container)
{
    auto* rule = new QWidget(container);
    rule->setObjectName(line.name);
    rule->setAutoFillBackground(true);
    rule->setBackgroundRole(QPalette::Dark);  // the button-shadow colour
    const int x = px(line.x1), y = px(line.y1);
    rule->setGeometry(x, y, std::max(1, px(line.x2) - x), std::max(1, px(line.y2) - y));
    return rule;
}

}  // namespace

frmVelmar::frmVelmar(std::string programFolder, QWidget* parent)
    : QMainWindow(parent)
{
    reportProblem = [this](const QString& message) {
        QMessageBox box(QMessageBox::Warning, form_layout::kCaption, message, QMessageBox::Ok, this);
        fallBackForText(&box, message);  // a message may quote what was typed
        box.exec();
    };
    askYesNo = [this](const QString& question) {
        QMessageBox box(
            QMessageBox::Warning, form_layout::kCaption, question, QMessageBox::Yes | QMessageBox::No, this);
        box.button(QMessageBox::Yes)->setText("はい(&Y)");
        box.button(QMessageBox::No)->setText("いいえ(&N)");
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        fallBackForText(&box, question);
        return box.exec() == QMessageBox::Yes;
    };
    askSaveChanges = [this](const QString& question, bool canSave) {
        QMessageBox box(QMessageBox::Warning, form_layout::kCaption, question,
            (canSave ? QMessageBox::Save : QMessageBox::NoButton) | QMessageBox::Discard | QMessageBox::Cancel, this);
        if (canSave)
            box.button(QMessageBox::Save)->setText("保存(&S)");
        box.button(QMessageBox::Discard)->setText("保存しない(&N)");
        box.button(QMessageBox::Cancel)->setText("キャンセル");
        box.setDefaultButton(canSave ? QMessageBox::Save : QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        fallBackForText(&box, question);
        switch (box.exec()) {
        case QMessageBox::Save: return SaveChangesAnswer::Save;
        case QMessageBox::Discard: return SaveChangesAnswer::DontSave;
        default: return SaveChangesAnswer::Cancel;
        }
    };
    setObjectName("frmVelmar");
    // "[*]": Qt shows a "*" there while the card has unsaved changes.
    setWindowTitle(QString(form_layout::kCaption) + "[*]");
    QWidget* client = buildControls();
    suggestions_ = new IdSuggestions(
        client->findChild<QLineEdit*>("txtID"), [this](int row) { form_->suggestionPicked(std::size_t(row)); },
        [this] { form_->suggestionsClosed(); });
    auto* idleWork = new QTimer(this);
    idleWork->setInterval(0);  // whenever the event queue is empty
    connect(idleWork, &QTimer::timeout, this, [this, idleWork] {
        if (!form_->readSomeCards())
            idleWork->stop();
    });
    controls_ = std::make_unique<QtFormControls>(client, optLv,
        QtWindowParts{[this](const QString& message) { reportProblem(message); },
            [this](const QString& question) { return askYesNo(question); },
            [this](const QString& question, bool canSave) { return askSaveChanges(question, canSave); }, suggestions_,
            idleWork});
    form_ = std::make_unique<CardForm>(*controls_, std::move(programFolder));
    // Mouse, arrow keys and code all end here, once per change of selection.
    connect(optLv, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            optLv_Click(LevelIndex(id));
    });
    connect(client->findChild<QPushButton*>("cmdLoad"), &QPushButton::clicked, this, &frmVelmar::cmdLoad_Click);
    connect(client->findChild<QPushButton*>("cmdSave"), &QPushButton::clicked, this, &frmVelmar::cmdSave_Click);
    connect(client->findChild<QPushButton*>("cmdClear"), &QPushButton::clicked, this, &frmVelmar::cmdClear_Click);
    buildMenu();
    connectEdits(client);
    // Back from another program, which may have changed the card or the folder.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            form_->windowActivated(true);
    });
    form_->Form_Load();
    centreOnScreen();
}

// Every change of the card's controls, by the user or by a command; the form
// tells the two apart. The ID box is not the card: its typing drives the list.
void frmVelmar::connectEdits(QWidget* client)
{
    for (QLineEdit* box : client->findChildren<QLineEdit*>()) {
        if (box->objectName() == "txtID")
            connect(box, &QLineEdit::textEdited, this, [this] { form_->txtID_Change(); });
        else
            connect(box, &QLineEdit::textChanged, this, [this] { form_->cardEdited(); });
    }
    for (QComboBox* list : client->findChildren<QComboBox*>())
        connect(list, &QComboBox::currentIndexChanged, this, [this] { form_->cardEdited(); });
}

void frmVelmar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        form_->windowActivated(false);
    QMainWindow::changeEvent(event);
}

void frmVelmar::closeEvent(QCloseEvent* event)
{
    if (form_->mayClose())
        event->accept();
    else
        event->ignore();
}

QWidget* frmVelmar::createControl(const form_layout::Control& c, QWidget* container)
{
    switch (c.kind) {
    case form_layout::Kind::Label: return new QLabel(qs(c.text), container);
    case form_layout::Kind::TextBox: {
        auto* box = new QLineEdit(qs(c.text), container);
        fallBackAsTyped(box);
        return box;
    }
    case form_layout::Kind::Button: {
        auto* button = new ClassicButton(qs(c.text), container);
        button->setAutoDefault(false);
        return button;
    }
    case form_layout::Kind::Frame: return new ClassicFrame(qs(c.text), container);
    case form_layout::Kind::ComboBox: return new ListOnOpenComboBox(container);
    case form_layout::Kind::Option: {
        auto* option = new QRadioButton(qs(c.text), container);
        const int index = int(optLv->buttons().size());
        option->setProperty("Index", index);
        optLv->addButton(option, index);
        option->installEventFilter(this);
        return option;
    }
    }
    return nullptr;
}

QWidget* frmVelmar::buildControls()
{
    auto* client = new QWidget(this);
    client->setFixedSize(px(form_layout::kClientWidth), px(form_layout::kClientHeight));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Before the first combo box: a screen reader that is already listening
    // asks for its interface as soon as it exists.
    reportComboBoxesByName();
    optLv = new QButtonGroup(this);
    optLv->setObjectName("optLv");
    QWidget* previousInTabOrder = nullptr;

    for (const auto& c : form_layout::controls()) {
        QWidget* container = *c.container ? client->findChild<QWidget*>(c.container) : client;
        QWidget* widget = createControl(c, container);
        widget->setObjectName(c.name);
        widget->setGeometry(px(c.left), px(c.top), px(c.width), px(c.height));
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previousInTabOrder)
                QWidget::setTabOrder(previousInTabOrder, widget);
            previousInTabOrder = widget;
        }
    }
    for (const auto& line : form_layout::lines())
        makeRule(line, client->findChild<QWidget*>(line.container));

    auto* cboSuperMode = client->findChild<QComboBox*>("cboSuperMode");
    fillList(cboSuperMode, form_layout::superModeEntries());
    fillList(client->findChild<QComboBox*>("cboExWaza1"), form_layout::reachEntries());
    auto* cboExtWaza2 = client->findChild<QComboBox*>("cboExtWaza2");
    for (auto letter : kEffectLetters)
        cboExtWaza2->addItem(qs(letter));
    condenseToFit(cboSuperMode);  // the one list with long entries
    nameControls(client);

    optLv->button(0)->setChecked(true);
    return client;
}

// Names for screen readers, from the one table of field names: the label's
// words where the label names the field, the field's name where it is a sign.
void frmVelmar::nameControls(QWidget* client)
{
    for (const auto& f : form_layout::fieldControls()) {
        auto* control = client->findChild<QWidget*>(f.control);
        control->setAccessibleName(qs(fieldName(f.field)));
        if (*f.label)
            client->findChild<QLabel*>(f.label)->setBuddy(control);
    }
    for (QAbstractButton* option : optLv->buttons())
        option->setAccessibleName(qs(levelName(optLv->id(option) + 1)));
}

void frmVelmar::buildMenu()
{
    QMenu* mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    const auto addItem = [&](const char* name, const char* caption, QKeySequence key, auto handler) {
        QAction* item = mnuFile->addAction(caption, key, this, handler);
        item->setObjectName(name);
    };
    addItem("mnuFileSave", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S), &frmVelmar::mnuFileSave_Click);
    addItem("mnuFileLoad", "&Load", QKeySequence(Qt::CTRL | Qt::Key_O), &frmVelmar::mnuFileLoad_Click);
    // A focused text box takes Shift+Del as Cut before the menu sees it, so
    // cutting text never clears the card.
    addItem("mnuFileClear", "&Clear", QKeySequence(Qt::SHIFT | Qt::Key_Delete), &frmVelmar::cmdClear_Click);
    mnuFile->addSeparator();
    addItem("mnuFileNext", "次のカード(&N)", QKeySequence(Qt::CTRL | Qt::Key_PageDown), &frmVelmar::mnuFileNext_Click);
    addItem("mnuFilePrevious", "前のカード(&P)", QKeySequence(Qt::CTRL | Qt::Key_PageUp),
        &frmVelmar::mnuFilePrevious_Click);
    addItem("mnuFileReport", "カードセットのレポート(&R)", QKeySequence(), &frmVelmar::mnuFileReport_Click);
}

// Reading a large card set takes a few seconds: the pointer says so.
void frmVelmar::mnuFileReport_Click()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    form_->mnuFileReport_Click();
    QGuiApplication::restoreOverrideCursor();
}

// Tab and Shift+Tab enter the level group at the selected option.
bool frmVelmar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        QAbstractButton* selected = optLv->checkedButton();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && selected && watched != selected
            && optLv->buttons().contains(watched)) {
            selected->setFocus(reason);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmVelmar::centreOnScreen()
{
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}
