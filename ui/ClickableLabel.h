// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QLabel>

// A label that reports a mouse click on it, like a link without the link look. Screen readers
// meet it as a button whose press action clicks it.
class ClickableLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickableLabel(QWidget *parent = nullptr);

    void click() { emit clicked(); }
    // A key that clicks the label while its window is active, also offered to screen readers
    // with the press action. The label itself takes no focus.
    void setShortcut(const QKeySequence &key);
    QKeySequence shortcut() const { return m_shortcut; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
    QKeySequence m_shortcut;
};
