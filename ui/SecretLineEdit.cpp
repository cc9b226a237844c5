// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SecretLineEdit.h"

#include "Clipboard.h"
#include "SitepassError.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

SecretLineEdit::SecretLineEdit(QWidget *parent) : QLineEdit(parent)
{
    // The window's font, drawn a character at a time: a ligature would show "fl" or "fi" as one
    // glyph, and a password read off the screen must show every character.
    QFont noShaping;
    noShaping.setStyleStrategy(QFont::PreferNoShaping);
    setFont(noShaping);
}

void SecretLineEdit::copySecret()
{
    if (!hasSelectedText() || echoMode() != Normal)
        return;
    try {
        m_clipboard->setText(selectedText(), Clipboard::Content::Secret);
    } catch (const SitepassError &) {
        // As with any copy, a clipboard another program holds shows at the paste.
    }
}

void SecretLineEdit::cutSecret()
{
    if (!hasSelectedText() || isReadOnly() || echoMode() != Normal)
        return;
    copySecret();
    del(); // deletes the selection, undoably
}

void SecretLineEdit::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+C, Ctrl+Insert; Ctrl+X, Shift+Delete (and the platform's other bindings).
    if (m_clipboard && event->matches(QKeySequence::Copy)) {
        copySecret();
        event->accept();
    } else if (m_clipboard && event->matches(QKeySequence::Cut)) {
        cutSecret();
        event->accept();
    } else if (m_clipboard && (event->matches(QKeySequence::DeleteCompleteLine) ||
                               event->matches(QKeySequence::DeleteEndOfLine))) {
        // Ctrl+U and Ctrl+K (X11, KDE and GNOME bindings): the line edit copies what they delete.
        if (!isReadOnly()) {
            const int from =
                event->matches(QKeySequence::DeleteCompleteLine) ? 0 : cursorPosition();
            setSelection(from, int(text().size()) - from);
            if (hasSelectedText()) {
                copySecret();
                del();
            }
        }
        event->accept();
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

void SecretLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    // The standard menu, with its copy and cut actions taken over by the secret ones. Qt wires
    // them by name in some versions and by member pointer in others.
    for (QAction *action : m_clipboard ? menu->actions() : QList<QAction *>()) {
        if (disconnect(action, &QAction::triggered, this, &QLineEdit::copy) ||
            disconnect(action, SIGNAL(triggered()), this, SLOT(copy())))
            connect(action, &QAction::triggered, this, &SecretLineEdit::copySecret);
        else if (disconnect(action, &QAction::triggered, this, &QLineEdit::cut) ||
                 disconnect(action, SIGNAL(triggered()), this, SLOT(cut())))
            connect(action, &QAction::triggered, this, &SecretLineEdit::cutSecret);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

bool SecretLineEdit::event(QEvent *event)
{
    const bool handled = QLineEdit::event(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::FocusIn:
        markSelection();
        break;
    default:
        break;
    }
    return handled;
}

void SecretLineEdit::markSelection()
{
    // The line edit has just put its selection on the mouse selection as plain text. Nothing
    // outside has read it yet: another program asks this one for the text, and that request
    // waits for the event loop. Marked now, every reader sees the markers.
    QClipboard *system = QGuiApplication::clipboard();
    if (!m_clipboard || !system || !system->supportsSelection() || !hasSelectedText() ||
        !system->ownsSelection())
        return;
    const QMimeData *now = system->mimeData(QClipboard::Selection);
    if (!now || now->text() != selectedText() || Clipboard::isSecret(*now))
        return;
    try {
        m_clipboard->setText(selectedText(), Clipboard::Content::Secret,
                             Clipboard::Mode::Selection);
    } catch (const SitepassError &) {
        // Another program took the selection over: it no longer holds the password.
    }
}
