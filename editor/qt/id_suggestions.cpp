#include "id_suggestions.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStringListModel>

IdSuggestions::IdSuggestions(QLineEdit* idBox, std::function<void(int row)> picked, std::function<void()> closed)
    : QObject(idBox)
    , idBox_(idBox)
    , picked_(std::move(picked))
    , closed_(std::move(closed))
{
}

void IdSuggestions::make()
{
    model_ = new QStringListModel(this);
    completer_ = new QCompleter(model_, this);
    // The form has chosen and ordered the entries; the completer only shows
    // them. Tied to the box with setWidget, not setCompleter, so that moving
    // through the list never rewrites what was typed.
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setWidget(idBox_);
    completer_->setMaxVisibleItems(10);
    QAbstractItemView* popup = completer_->popup();
    popup->setObjectName("lstIdSuggestions");
    popup->setAccessibleName("IDの候補");
    // Installed after the completer's own filter, so it sees keys first.
    popup->installEventFilter(this);
    connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this,
        [this](const QModelIndex& index) { picked_(index.row()); });
}

void IdSuggestions::show(const QStringList& entries)
{
    if (entries.isEmpty()) {
        if (completer_)
            completer_->popup()->hide();
        return;
    }
    if (!completer_)
        make();
    QAbstractItemView* popup = completer_->popup();
    model_->setStringList(entries);
    // Wide enough for the move names, never narrower than the box.
    const int width = std::max(idBox_->width(),
        popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width() + 2 * popup->frameWidth() + 8);
    completer_->complete(QRect(0, 0, width, idBox_->height()));
    // Nothing chosen until the user moves into the list: Enter alone picks nothing.
    popup->setCurrentIndex({});
}

bool IdSuggestions::isShown() const { return completer_ && completer_->popup()->isVisible(); }

QWidget* IdSuggestions::list() const { return completer_ ? completer_->popup() : nullptr; }

// The open list gets every key first. A key that is one of the window's
// shortcuts closes it, so that the shortcut finds the window active and acts
// at once, as if the list were not there.
bool IdSuggestions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide)
        closed_();
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (QAction* action : idBox_->window()->findChildren<QAction*>()) {
            if (!action->isEnabled() || action->shortcut() != pressed || !completer_->popup()->isVisible())
                continue;
            completer_->popup()->hide();
            if (event->type() == QEvent::ShortcutOverride)
                return false;  // not taken: the shortcut runs next
            action->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
