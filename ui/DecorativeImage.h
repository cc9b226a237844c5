// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A picture that only decorates: screen readers pass over it, as over an empty alt text.
class DecorativeImage : public QLabel
{
    Q_OBJECT
public:
    explicit DecorativeImage(QWidget *parent = nullptr);
};
