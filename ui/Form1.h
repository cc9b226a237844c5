// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PasswordSettings.h"
#include "SiteFields.h"

#include <QDateTime>
#include <QVariant>
#include <QWidget>
#include <memory>

class Clipboard;
class Clock;
class RandomSource;
class SitepassError;
class QLineEdit;
class QMessageBox;

namespace Ui {
class Form1;
}

// The program's one window: the site-profile area on the left, the password group on the right.
// The controls come from Form1.ui; this class only wires their events to core.
class Form1 : public QWidget, private SiteFields
{
    Q_OBJECT
public:
    Form1(RandomSource &random, const Clock &clock, Clipboard &clipboard,
          QWidget *parent = nullptr);
    ~Form1() override;

    // Offered to callers of the window; each is a thin call into core.
    qint64 ToUnixTime(const QVariant &strTime, const QVariant &intTimeZone) const;
    QDateTime FromUnixTime(const QVariant &intTime, const QVariant &intTimeZone) const;
    QString Caesar(const QString &str, double offset) const;
    QString GeneratePassword(double length);
    // A password by the password group's current settings; changes nothing in the window.
    QString RandPass();

private:
    // SiteFields: the site-profile steps read and write the boxes and the caption.
    QString text(SiteField field) const override;
    void setText(SiteField field, const QString &text) override;
    void setCaption(const QString &caption) override { setWindowTitle(caption); }

    QLineEdit *siteBox(SiteField field) const;
    // Where the generate button writes its password; its length is the caption.
    QLineEdit *resultBox() const;
    PasswordSettings passwordSettings() const;

    void generateSiteProfile();
    // The generate button into the result box, Label6 and Label9 into their password boxes.
    void writePassword(QLineEdit *box);
    void warn(const QString &title, const QString &message);

    std::unique_ptr<Ui::Form1> m_ui;
    RandomSource &m_random;
    const Clock &m_clock;
    Clipboard &m_clipboard;
    QMessageBox *m_warning = nullptr;
};
