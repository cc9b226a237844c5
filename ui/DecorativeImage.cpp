// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecorativeImage.h"

#include <QAccessibleWidget>

namespace {
class DecorativeAccessible final : public QAccessibleWidget
{
public:
    explicit DecorativeAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Graphic)
    {
    }

    // Not shown to assistive technology: no name, and marked invisible.
    QString text(QAccessible::Text) const override { return {}; }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("DecorativeImage") && object && object->isWidgetType())
        return new DecorativeAccessible(static_cast<QWidget *>(object));
    return nullptr;
}
} // namespace

DecorativeImage::DecorativeImage(QWidget *parent) : QLabel(parent)
{
    static const bool installed = (QAccessible::installFactory(accessibleFactory), true);
    Q_UNUSED(installed);
}
