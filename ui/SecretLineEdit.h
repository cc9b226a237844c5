// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

class Clipboard;

// A box that holds a password. A copy or cut by any of its ways (keys, context menu, the
// line-deleting keys that copy what they delete) is a secret clipboard write, and text selected in
// it reaches the mouse selection marked the same way, so clipboard histories leave it out. Editing
// is a plain line edit's in every other respect. Its characters are drawn one by one, never
// joined into ligatures.
class SecretLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit SecretLineEdit(QWidget *parent = nullptr);

    // Where copies go.
    void setClipboard(Clipboard *clipboard) { m_clipboard = clipboard; }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Only with a clipboard set; until then the box copies as a plain line edit does.
    void copySecret();
    void cutSecret();
    void markSelection();

    Clipboard *m_clipboard = nullptr;
};
