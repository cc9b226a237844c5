// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClickableLabel.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QShortcut>

namespace {
class ClickableLabelAccessible final : public QAccessibleWidget
{
public:
    explicit ClickableLabelAccessible(ClickableLabel *label)
        : QAccessibleWidget(label, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<ClickableLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &action) const override
    {
        const QKeySequence key = static_cast<ClickableLabel *>(widget())->shortcut();
        if (action != pressAction() || key.isEmpty())
            return {};
        return {key.toString(QKeySequence::NativeText)};
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction())
            static_cast<ClickableLabel *>(widget())->click();
    }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ClickableLabel") && object && object->isWidgetType())
        return new ClickableLabelAccessible(static_cast<ClickableLabel *>(object));
    return nullptr;
}
} // namespace

ClickableLabel::ClickableLabel(QWidget *parent) : QLabel(parent)
{
    static const bool installed = (QAccessible::installFactory(accessibleFactory), true);
    Q_UNUSED(installed);
}

void ClickableLabel::setShortcut(const QKeySequence &key)
{
    m_shortcut = key;
    auto *shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &ClickableLabel::click);
}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // A click is press and release on the label, as with a button: dragging off cancels it.
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}
