// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"

#include "Caesar.h"
#include "ClickableLabel.h"
#include "Clipboard.h"
#include "Clock.h"
#include "Password.h"
#include "SitepassError.h"
#include "UnixTime.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <limits>

using namespace Qt::StringLiterals;

namespace {
// Client area at 96 dpi; Qt's scaling moves every position and size together on high-DPI screens.
constexpr QSize clientSize(828, 386);

QLineEdit *lineEdit(QWidget *parent, const QString &name, const QRect &rect,
                    const QString &text = {})
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setGeometry(rect);
    // Qt's default cap of 32767 would cut a long password short.
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption, const QRect &rect,
                    bool checked)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(rect);
    box->setChecked(checked);
    return box;
}

// What a screen reader says for a caption: "站 点 名 称：" reads as "站点名称".
QString spokenName(QString caption)
{
    return caption.remove(u' ').remove(u'：');
}

QPushButton *button(QWidget *parent, const QString &name, const QRect &rect)
{
    auto *b = new QPushButton(u"生成"_s, parent);
    b->setObjectName(name);
    b->setGeometry(rect);
    b->setAutoDefault(false);
    return b;
}
} // namespace

Form1::Form1(RandomSource &random, const Clock &clock, Clipboard &clipboard, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_random(random), m_clock(clock), m_clipboard(clipboard)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Form1"_s);
    setFixedSize(clientSize);

    // One uniform background: the colour of a text box's interior.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);
    setAutoFillBackground(true);

    // 9 pt at 96 dpi, the size the control heights were laid out for.
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    buildSiteArea();
    buildPasswordArea();
    setKeyboardOrder();
    text(1)->setFocus();

    if (const QScreen *s = screen()) {
        QRect centred(QPoint(), clientSize);
        centred.moveCenter(s->availableGeometry().center());
        move(centred.topLeft());
    }
}

void Form1::buildSiteArea()
{
    static const char16_t *const captions[9] = {
        u"站 点 名 称：", u"站 点 网 址：", u"站 点 端 口：", u"数据库表名：", u"数据库用户：",
        u"数据库密码：",  u"管理员后台：",  u"管理员用户：",  u"管理员密码："};
    for (int i = 1; i <= 9; ++i) {
        const int top = 32 + 32 * (i - 1);
        const QString caption = QString::fromUtf16(captions[i - 1]);
        QLineEdit *box = lineEdit(this, u"Text%1"_s.arg(i), QRect(136, top, 209, 25));
        box->setAccessibleName(spokenName(caption));
        m_text[i - 1] = box;

        QLabel *label = nullptr;
        if (i == 6 || i == 9) {
            // Label6 and Label9 redraw their password when clicked.
            auto *clickable = new ClickableLabel(caption, this);
            clickable->setAccessibleDescription(i == 6 ? u"重新生成数据库密码"_s
                                                       : u"重新生成管理员密码"_s);
            connect(clickable, &ClickableLabel::clicked, this, [this, box] { writePassword(box); });
            label = clickable;
        } else {
            label = new QLabel(caption, this);
        }
        label->setObjectName(u"Label%1"_s.arg(i));
        label->setGeometry(48, top + 8, 81, 17);
        label->setBuddy(box);
    }
    text(3)->setText(u"80"_s);
    text(7)->setText(u"/admin.php"_s);
    text(8)->setText(u"admin"_s);

    auto *command1 = button(this, u"Command1"_s, QRect(136, 344, 97, 25));
    command1->setAccessibleDescription(u"生成站点资料并复制到剪贴板"_s);
    connect(command1, &QPushButton::clicked, this, &Form1::command1Click);
}

void Form1::buildPasswordArea()
{
    auto *frame = new QGroupBox(this);
    frame->setObjectName(u"Frame1"_s);
    frame->setGeometry(416, 24, 393, 305);
    frame->setAutoFillBackground(true);
    // Fusion tints a group box's panel; the window is meant to show one uniform background.
    frame->setStyleSheet(
        u"QGroupBox#Frame1 { border: 1px solid palette(mid); border-radius: 2px; }"_s);

    auto *image = new QLabel(frame);
    image->setObjectName(u"Image1"_s);
    image->setGeometry(40, 24, 295, 86);
    // QIcon finds banner@2x.png beside banner.png and picks the sharper one for the screen.
    image->setPixmap(QIcon(u":/banner.png"_s).pixmap(image->size(), devicePixelRatioF()));

    m_dx = checkBox(frame, u"ss_dx"_s, u"A-Z"_s, QRect(56, 136, 41, 17), true);
    m_xx = checkBox(frame, u"ss_xx"_s, u"a-z"_s, QRect(112, 136, 41, 17), true);
    m_sz = checkBox(frame, u"ss_sz"_s, u"0-9"_s, QRect(168, 136, 41, 17), true);
    // ss_fh and Label10 are taller than the 12 pixels first drawn, so the font is not clipped.
    m_fh = checkBox(frame, u"ss_fh"_s, u"特殊字符："_s, QRect(56, 168, 81, 17), false);
    m_fhValue = lineEdit(frame, u"ss_fh_value"_s, QRect(144, 168, 201, 18), u"!@#$%^&*()"_s);

    auto *lengthLabel = new QLabel(u"密码长度："_s, frame);
    lengthLabel->setObjectName(u"Label10"_s);
    lengthLabel->setGeometry(56, 200, 60, 17);
    m_cd = lineEdit(frame, u"ss_cd"_s, QRect(128, 200, 105, 18), u"16"_s);

    auto *generate = button(frame, u"generate"_s, QRect(96, 232, 177, 25));
    generate->setAccessibleDescription(u"生成随机密码"_s);
    m_jieguo = lineEdit(frame, u"ss_jieguo"_s, QRect(16, 272, 353, 18));

    m_fh->setAccessibleName(spokenName(m_fh->text()));
    m_fhValue->setAccessibleName(spokenName(m_fh->text()));
    m_cd->setAccessibleName(spokenName(lengthLabel->text()));
    m_jieguo->setAccessibleName(u"生成的密码"_s);

    connect(generate, &QPushButton::clicked, this, [this] { writePassword(m_jieguo); });
    connect(m_jieguo, &QLineEdit::textChanged, this,
            [this](const QString &text) { setWindowTitle(Password::lengthCaption(text)); });
}

void Form1::setKeyboardOrder()
{
    const QStringList order = {
        u"Text1"_s,     u"Text2"_s, u"Text3"_s,       u"Text4"_s,    u"Text5"_s, u"Text6"_s,
        u"Text7"_s,     u"Text8"_s, u"Text9"_s,       u"Command1"_s, u"ss_fh"_s, u"generate"_s,
        u"ss_jieguo"_s, u"ss_cd"_s, u"ss_fh_value"_s, u"ss_sz"_s,    u"ss_xx"_s, u"ss_dx"_s};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(findChild<QWidget *>(order.at(i - 1)), findChild<QWidget *>(order.at(i)));
}

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

PasswordSettings Form1::passwordSettings() const
{
    return {m_dx->checkState() == Qt::Checked,
            m_xx->checkState() == Qt::Checked,
            m_sz->checkState() == Qt::Checked,
            m_fh->checkState() == Qt::Checked,
            m_fhValue->text(),
            m_cd->text()};
}

SiteTexts Form1::siteTexts() const
{
    return {text(1)->text(), text(2)->text(), text(3)->text(), text(4)->text(), text(5)->text(),
            text(6)->text(), text(7)->text(), text(8)->text(), text(9)->text()};
}

void Form1::writePassword(QLineEdit *box)
{
    try {
        box->setText(RandPass());
    } catch (const SitepassError &e) {
        warn(u"密码长度无效"_s, e.message());
    }
}

void Form1::command1Click()
{
    // Each step reads the boxes as the steps before it left them; a failure keeps what is done.
    try {
        const QString timeToken = SiteProfile::timeToken(m_clock);
        setWindowTitle(timeToken);
        text(2)->setText(SiteProfile::siteUrl(text(1)->text()));
        text(4)->setText(SiteProfile::tableName(timeToken));
        text(5)->setText(text(4)->text());
        try {
            text(6)->setText(RandPass());
            text(9)->setText(RandPass());
        } catch (const SitepassError &e) {
            warn(u"密码长度无效"_s,
                 e.message() + u"\n网址和数据库名已填写；密码未生成，剪贴板没有改动。"_s);
            return;
        }
        m_clipboard.clear();
        m_clipboard.setText(BuildSiteReport(siteTexts()));
    } catch (const SitepassError &e) {
        if (e.kind() == SitepassError::Kind::Clipboard)
            warn(u"未复制到剪贴板"_s,
                 u"站点资料已填写，但报告没有复制到剪贴板。\n"_s + e.message());
        else
            warn(u"无法生成站点资料"_s, e.message());
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
