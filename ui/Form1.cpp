// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"
#include "ui_Form1.h"

#include "Caesar.h"
#include "Clock.h"
#include "Password.h"
#include "SiteProfile.h"
#include "SitepassError.h"
#include "UnixTime.h"

#include <QIcon>
#include <QMessageBox>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {
// The window's wording of what went wrong; the first line names the field where there is one.
QString describe(const SitepassError &error)
{
    using Kind = SitepassError::Kind;
    switch (error.kind()) {
    case Kind::NotANumber:
        return u"“密码长度”需要填写一个数字（0 到 %1）。"_s.arg(error.limit());
    case Kind::LengthTooLarge:
        return u"“密码长度”最大为 %1，请填写较小的数。"_s.arg(error.limit());
    case Kind::TimeBeyond32Bits:
        return u"系统时间已超过 2038-01-19 03:14:07 UTC，无法生成 32 位的时间标记。"_s;
    case Kind::ClockUnreadable:
        return u"无法读取系统时间。"_s;
    case Kind::ZoneOutOfRange:
        return u"时区超出可换算的范围。"_s;
    case Kind::TimestampOutOfRange:
        return u"时间戳超出可换算的范围。"_s;
    case Kind::ClipboardUnavailable:
        return u"无法使用剪贴板。"_s;
    case Kind::ClipboardNotTaken:
        return u"报告未能复制到剪贴板，请再试一次。"_s;
    case Kind::ProfileEmpty:
    case Kind::ProfileNotUtf8:
    case Kind::ProfileUnrecognised:
    case Kind::FieldMissing:
    case Kind::FieldEmpty:
    case Kind::FieldBadCharacter:
    case Kind::NameTooLong:
    case Kind::NameBadCharacter:
    case Kind::EngineUnsupported:
    case Kind::ValueUnquotable:
    case Kind::WebValueInvalid:
        break; // reading profiles back is the command line's job
    }
    return {};
}

bool isPasswordError(const SitepassError &error)
{
    return error.kind() == SitepassError::Kind::NotANumber ||
           error.kind() == SitepassError::Kind::LengthTooLarge;
}

bool isClipboardError(const SitepassError &error)
{
    return error.kind() == SitepassError::Kind::ClipboardUnavailable ||
           error.kind() == SitepassError::Kind::ClipboardNotTaken;
}
} // namespace

Form1::Form1(RandomSource &random, const Clock &clock, Clipboard &clipboard, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::Form1>()), m_random(random), m_clock(clock), m_clipboard(clipboard)
{
    m_ui->setupUi(this);

    // Labels and check boxes sit on the colour of a text box's interior, as the theme has it.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);
    setAutoFillBackground(true);

    // QIcon finds banner@2x.png beside banner.png and picks the sharper one for the screen.
    m_ui->Image1->setPixmap(
        QIcon(u":/banner.png"_s).pixmap(m_ui->Image1->size(), devicePixelRatioF()));

    // Copies and selections of the three password boxes stay out of clipboard histories.
    for (SecretLineEdit *box : {m_ui->ss_jieguo, m_ui->Text6, m_ui->Text9})
        box->setClipboard(&m_clipboard);

    // The redraw labels stay out of the tab order: each has a key of its own, one that no line
    // edit uses, told in its tooltip and to screen readers.
    const auto redrawKey = [](ClickableLabel *label, QKeyCombination key, const QString &what) {
        label->setShortcut(QKeySequence(key));
        const QString keyText = label->shortcut().toString(QKeySequence::NativeText);
        label->setToolTip(u"单击或按 %1 重新生成%2"_s.arg(keyText, what));
        label->setAccessibleDescription(u"重新生成%1（%2）"_s.arg(what, keyText));
    };
    redrawKey(m_ui->Label6, Qt::ALT | Qt::Key_D, u"数据库密码"_s);
    redrawKey(m_ui->Label9, Qt::ALT | Qt::Key_A, u"管理员密码"_s);

    connect(m_ui->Command1, &QPushButton::clicked, this, &Form1::generateSiteProfile);
    connect(m_ui->Label6, &ClickableLabel::clicked, this,
            [this] { writePassword(siteBox(SiteField::DatabasePassword)); });
    connect(m_ui->Label9, &ClickableLabel::clicked, this,
            [this] { writePassword(siteBox(SiteField::AdminPassword)); });
    connect(m_ui->generate, &QPushButton::clicked, this, [this] { writePassword(resultBox()); });
    connect(resultBox(), &QLineEdit::textChanged, this,
            [this](const QString &text) { setWindowTitle(Password::lengthCaption(text)); });

    siteBox(SiteField::SiteName)->setFocus();
    if (const QScreen *s = screen()) {
        QRect centred(QPoint(), size());
        centred.moveCenter(s->availableGeometry().center());
        move(centred.topLeft());
    }
}

Form1::~Form1() = default;

qint64 Form1::ToUnixTime(const QVariant &strTime, const QVariant &intTimeZone) const
{
    return ::ToUnixTime(strTime, intTimeZone, m_clock);
}

QDateTime Form1::FromUnixTime(const QVariant &intTime, const QVariant &intTimeZone) const
{
    return ::FromUnixTime(intTime, intTimeZone, m_clock);
}

QString Form1::Caesar(const QString &str, double offset) const
{
    return ::Caesar(str, offset);
}

QString Form1::GeneratePassword(double length)
{
    return ::GeneratePassword(length, m_random);
}

QString Form1::RandPass()
{
    return ::RandPass(passwordSettings(), m_random);
}

QLineEdit *Form1::siteBox(SiteField field) const
{
    switch (field) {
    case SiteField::SiteName:
        return m_ui->Text1;
    case SiteField::SiteUrl:
        return m_ui->Text2;
    case SiteField::SitePort:
        return m_ui->Text3;
    case SiteField::TableName:
        return m_ui->Text4;
    case SiteField::DatabaseUser:
        return m_ui->Text5;
    case SiteField::DatabasePassword:
        return m_ui->Text6;
    case SiteField::AdminPath:
        return m_ui->Text7;
    case SiteField::AdminUser:
        return m_ui->Text8;
    case SiteField::AdminPassword:
        return m_ui->Text9;
    }
    Q_UNREACHABLE();
}

QLineEdit *Form1::resultBox() const
{
    return m_ui->ss_jieguo;
}

QString Form1::text(SiteField field) const
{
    return siteBox(field)->text();
}

void Form1::setText(SiteField field, const QString &text)
{
    siteBox(field)->setText(text);
}

PasswordSettings Form1::passwordSettings() const
{
    // Only the checked state counts: a partially checked box leaves its class out.
    const auto included = [](const QCheckBox *box) { return box->checkState() == Qt::Checked; };
    PasswordSettings settings;
    settings.upper = included(m_ui->ss_dx);
    settings.lower = included(m_ui->ss_xx);
    settings.digits = included(m_ui->ss_sz);
    settings.special = included(m_ui->ss_fh);
    settings.specialText = m_ui->ss_fh_value->text();
    settings.lengthText = m_ui->ss_cd->text();
    return settings;
}

void Form1::writePassword(QLineEdit *box)
{
    try {
        box->setText(RandPass());
    } catch (const SitepassError &e) {
        warn(u"密码长度无效"_s, describe(e));
    }
}

void Form1::generateSiteProfile()
{
    try {
        SiteProfile::generate(
            *this, [this] { return RandPass(); }, m_clock, m_clipboard);
    } catch (const SitepassError &e) {
        if (isPasswordError(e))
            warn(u"密码长度无效"_s,
                 describe(e) + u"\n网址和数据库名已填写；密码未生成，剪贴板没有改动。"_s);
        else if (isClipboardError(e))
            warn(u"未复制到剪贴板"_s,
                 u"站点资料已填写，但报告没有复制到剪贴板。\n"_s + describe(e));
        else
            warn(u"无法生成站点资料"_s, describe(e));
    }
}

void Form1::warn(const QString &title, const QString &message)
{
    // One non-blocking box, reused, so repeated failures never stack up windows.
    if (!m_warning) {
        m_warning = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::Ok, this);
        m_warning->setObjectName(u"warning"_s);
    }
    m_warning->setWindowTitle(title);
    m_warning->setText(message);
    m_warning->open();
}
