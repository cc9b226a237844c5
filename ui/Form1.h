// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PasswordSettings.h"
#include "SiteProfile.h"

#include <QDateTime>
#include <QVariant>
#include <QWidget>
#include <array>

class Clipboard;
class Clock;
class RandomSource;
class SitepassError;
class QCheckBox;
class QLineEdit;
class QMessageBox;

// The program's one window: the site-profile area on the left, the password group on the right.
// Its operations are thin calls into core; the window itself only reads and writes controls.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    Form1(RandomSource &random, const Clock &clock, Clipboard &clipboard,
          QWidget *parent = nullptr);

    qint64 ToUnixTime(const QVariant &strTime, const QVariant &intTimeZone) const;
    QDateTime FromUnixTime(const QVariant &intTime, const QVariant &intTimeZone) const;
    QString Caesar(const QString &str, double offset) const;
    QString GeneratePassword(double length);
    // A password by the password group's current settings; changes nothing in the window.
    QString RandPass();

private:
    void buildSiteArea();
    void buildPasswordArea();
    void setKeyboardOrder();

    void command1Click();
    // The generate button into ss_jieguo, Label6 and Label9 into Text6 and Text9.
    void writePassword(QLineEdit *box);

    PasswordSettings passwordSettings() const;
    SiteTexts siteTexts() const;
    QLineEdit *text(int i) const { return m_text.at(i - 1); }
    void warn(const QString &title, const QString &message);

    RandomSource &m_random;
    const Clock &m_clock;
    Clipboard &m_clipboard;

    std::array<QLineEdit *, 9> m_text{};
    QCheckBox *m_dx = nullptr;
    QCheckBox *m_xx = nullptr;
    QCheckBox *m_sz = nullptr;
    QCheckBox *m_fh = nullptr;
    QLineEdit *m_fhValue = nullptr;
    QLineEdit *m_cd = nullptr;
    QLineEdit *m_jieguo = nullptr;
    QMessageBox *m_warning = nullptr;
};
