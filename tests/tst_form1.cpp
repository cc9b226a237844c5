// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"
#include "Password.h"
#include "SiteProfile.h"
#include "support/FakeClipboard.h"
#include "support/FixedClock.h"
#include "support/ScriptedRandomSource.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextLayout>
#include <QTimeZone>
#include <memory>

using namespace Qt::StringLiterals;

class TestForm1 : public QObject
{
    Q_OBJECT

    ScriptedRandomSource m_random;
    FixedClock m_clock;
    FakeClipboard m_clipboard;
    std::unique_ptr<Form1> m_form;

    template <typename T = QWidget> T *child(const QString &name) const
    {
        T *w = m_form->findChild<T *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QLineEdit *box(const QString &name) const { return child<QLineEdit>(name); }
    QMessageBox *warning() const { return m_form->findChild<QMessageBox *>(u"warning"_s); }
    bool warningShown() const { return warning() && warning()->isVisible(); }
    void click(const QString &name) { QTest::mouseClick(child(name), Qt::LeftButton); }
    void setClasses(bool upper, bool lower, bool digits, bool special)
    {
        child<QCheckBox>(u"ss_dx"_s)->setChecked(upper);
        child<QCheckBox>(u"ss_xx"_s)->setChecked(lower);
        child<QCheckBox>(u"ss_sz"_s)->setChecked(digits);
        child<QCheckBox>(u"ss_fh"_s)->setChecked(special);
    }
    void useOnlySpecials(const QString &specials)
    {
        setClasses(false, false, false, true);
        box(u"ss_fh_value"_s)->setText(specials);
    }

private slots:
    void init()
    {
        m_random = ScriptedRandomSource();
        m_clock.set(QDateTime(QDate(2020, 5, 31), QTime(18, 3, 43), QTimeZone::utc()));
        m_clipboard = FakeClipboard();
        m_form = std::make_unique<Form1>(m_random, m_clock, m_clipboard);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    void cleanup() { m_form.reset(); }

    void startsWithTheInitialTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const QList<std::pair<const char *, QString>> rows = {
            {"Text1", {}},
            {"Text2", {}},
            {"Text3", SiteProfile::defaultPort.toString()},
            {"Text4", {}},
            {"Text5", {}},
            {"Text6", {}},
            {"Text7", SiteProfile::defaultAdminPath.toString()},
            {"Text8", SiteProfile::defaultAdminUser.toString()},
            {"Text9", {}},
            {"ss_fh_value", PasswordSettings::defaultSpecialText.toString()},
            {"ss_cd", PasswordSettings::defaultLengthText.toString()},
            {"ss_jieguo", {}},
            {"Label1", u"站 点 名 称："_s},
            {"Label2", u"站 点 网 址："_s},
            {"Label3", u"站 点 端 口："_s},
            {"Label4", u"数据库表名："_s},
            {"Label5", u"数据库用户："_s},
            {"Label6", u"数据库密码："_s},
            {"Label7", u"管理员后台："_s},
            {"Label8", u"管理员用户："_s},
            {"Label9", u"管理员密码："_s},
            {"Label10", u"密码长度："_s},
            {"Command1", u"生成"_s},
            {"generate", u"生成"_s},
            {"ss_dx", u"A-Z"_s},
            {"ss_xx", u"a-z"_s},
            {"ss_sz", u"0-9"_s},
            {"ss_fh", u"特殊字符："_s}};
        for (const auto &[name, text] : rows)
            QTest::addRow("%s", name) << QString::fromLatin1(name) << text;
    }
    void startsWithTheInitialTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QWidget *w = child(name);
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            QCOMPARE(edit->text(), text);
        else if (auto *label = qobject_cast<QLabel *>(w))
            QCOMPARE(label->text(), text);
        else
            QCOMPARE(qobject_cast<QAbstractButton *>(w)->text(), text);
    }

    void startsWithTheWindowState()
    {
        QCOMPARE(m_form->windowTitle(), u"Form1"_s);
        QCOMPARE(m_form->size(), QSize(828, 386));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        const Qt::WindowFlags flags = m_form->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QCOMPARE(QApplication::focusWidget(), child(u"Text1"_s));
        QVERIFY(child<QCheckBox>(u"ss_dx"_s)->isChecked());
        QVERIFY(child<QCheckBox>(u"ss_xx"_s)->isChecked());
        QVERIFY(child<QCheckBox>(u"ss_sz"_s)->isChecked());
        QVERIFY(!child<QCheckBox>(u"ss_fh"_s)->isChecked());
        QVERIFY(child<QGroupBox>(u"Frame1"_s)->title().isEmpty());
        const QPixmap banner = child<QLabel>(u"Image1"_s)->pixmap();
        QCOMPARE(banner.size(), QSize(295, 86));
    }

    void placesEveryControl_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("rect");
        for (int i = 1; i <= 9; ++i) {
            const int top = 32 * i;
            QTest::addRow("Text%d", i)
                << u"Text%1"_s.arg(i) << u"Form1"_s << QRect(136, top, 209, 25);
            QTest::addRow("Label%d", i)
                << u"Label%1"_s.arg(i) << u"Form1"_s << QRect(48, top + 8, 81, 17);
        }
        const QList<std::tuple<const char *, const char *, QRect>> rows = {
            {"Command1", "Form1", {136, 344, 97, 25}},
            {"Frame1", "Form1", {416, 24, 393, 305}},
            {"Image1", "Frame1", {40, 24, 295, 86}},
            {"ss_dx", "Frame1", {56, 136, 41, 17}},
            {"ss_xx", "Frame1", {112, 136, 41, 17}},
            {"ss_sz", "Frame1", {168, 136, 41, 17}},
            {"ss_fh", "Frame1", {56, 168, 81, 17}},
            {"ss_fh_value", "Frame1", {144, 168, 201, 18}},
            {"Label10", "Frame1", {56, 200, 60, 17}},
            {"ss_cd", "Frame1", {128, 200, 105, 18}},
            {"generate", "Frame1", {96, 232, 177, 25}},
            {"ss_jieguo", "Frame1", {16, 272, 353, 18}}};
        for (const auto &[name, parent, rect] : rows)
            QTest::addRow("%s", name)
                << QString::fromLatin1(name) << QString::fromLatin1(parent) << rect;
    }
    void placesEveryControl()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, rect);
        QWidget *w = child(name);
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), rect);
    }

    void noTwoControlsOverlap()
    {
        const QList<QWidget *> all = m_form->findChildren<QWidget *>();
        for (QWidget *a : all) {
            for (QWidget *b : all) {
                if (a >= b || a->parentWidget() != b->parentWidget() || a->objectName().isEmpty() ||
                    b->objectName().isEmpty() || a->objectName() == u"warning"_s)
                    continue;
                QVERIFY2(!a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + u" / "_s + b->objectName()));
            }
        }
    }

    void tabCyclesInTheKeyboardOrder()
    {
        const QStringList order = {
            u"Text1"_s,     u"Text2"_s, u"Text3"_s,       u"Text4"_s,    u"Text5"_s, u"Text6"_s,
            u"Text7"_s,     u"Text8"_s, u"Text9"_s,       u"Command1"_s, u"ss_fh"_s, u"generate"_s,
            u"ss_jieguo"_s, u"ss_cd"_s, u"ss_fh_value"_s, u"ss_sz"_s,    u"ss_xx"_s, u"ss_dx"_s};
        for (qsizetype i = 1; i <= order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), order.at(i % order.size()));
        }
        for (qsizetype i = order.size() - 1; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget()->objectName(), order.at(i));
        }
    }

    void enterPressesNoButtonAndEscapeKeepsTheWindow()
    {
        box(u"Text1"_s)->setText(u"a.b"_s);
        for (const QString &name : {u"Text1"_s, u"ss_cd"_s, u"ss_jieguo"_s, u"Text9"_s}) {
            box(name)->setFocus();
            QTest::keyClick(box(name), Qt::Key_Return);
            QTest::keyClick(box(name), Qt::Key_Enter);
            QTest::keyClick(box(name), Qt::Key_Escape);
        }
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->windowTitle(), u"Form1"_s);
        QVERIFY(box(u"Text2"_s)->text().isEmpty());
        QVERIFY(m_random.log().isEmpty());
    }

    void spaceOnAFocusedButtonPressesIt()
    {
        child(u"generate"_s)->setFocus();
        QTest::keyClick(child(u"generate"_s), Qt::Key_Space);
        QCOMPARE(box(u"ss_jieguo"_s)->text().size(), 16);
    }

    void generateWritesTheRotatedPasswordAndCaption()
    {
        box(u"ss_cd"_s)->setText(u"3"_s);
        // A, 9, f, then offset 1: letters move one place.
        m_random.script({0.0f, largestBelowOne, 0.5f, 0.0f});
        click(u"generate"_s);
        QCOMPARE(box(u"ss_jieguo"_s)->text(), u"B9g"_s);
        QCOMPARE(m_form->windowTitle(), u"密码生成器 v1  密码长度：3"_s);
        QCOMPARE(m_random.log(), u"RNNNN"_s);
    }

    void generateReadsTheSettingsAtEveryClick()
    {
        useOnlySpecials(u" !! "_s);
        box(u"ss_cd"_s)->setText(u"5.9"_s);
        click(u"generate"_s);
        QCOMPARE(box(u"ss_jieguo"_s)->text(), u"!!!!!"_s);
        QCOMPARE(m_form->windowTitle(), u"密码生成器 v1  密码长度：5"_s);
    }

    void onlyAFullyCheckedBoxAddsItsClass_data()
    {
        QTest::addColumn<Qt::CheckState>("state");
        QTest::addColumn<QString>("password");
        QTest::addRow("checked") << Qt::Checked << u"!!!"_s;
        QTest::addRow("partially checked (grayed)") << Qt::PartiallyChecked << u""_s;
    }
    void onlyAFullyCheckedBoxAddsItsClass()
    {
        QFETCH(Qt::CheckState, state);
        QFETCH(QString, password);
        useOnlySpecials(u"!"_s);
        box(u"ss_cd"_s)->setText(u"3"_s);
        auto *special = child<QCheckBox>(u"ss_fh"_s);
        special->setTristate(true);
        special->setCheckState(state);
        box(u"ss_jieguo"_s)->setText(u"old"_s);
        click(u"generate"_s);
        QCOMPARE(box(u"ss_jieguo"_s)->text(), password);
    }

    void longPasswordsAreNotCut()
    {
        box(u"ss_cd"_s)->setText(u"100000"_s);
        click(u"generate"_s);
        QCOMPARE(box(u"ss_jieguo"_s)->text().size(), 100000);
        QCOMPARE(m_form->windowTitle(), u"密码生成器 v1  密码长度：100000"_s);
    }

    void typingIntoTheResultSetsTheCaption()
    {
        QLineEdit *result = box(u"ss_jieguo"_s);
        result->setFocus();
        QTest::keyClick(result, Qt::Key_X);
        QCOMPARE(m_form->windowTitle(), u"密码生成器 v1  密码长度：1"_s);
        QTest::keyClicks(result, u"yz"_s);
        QCOMPARE(m_form->windowTitle(), u"密码生成器 v1  密码长度：3"_s);
        result->selectAll();
        QTest::keyClick(result, Qt::Key_Delete);
        QCOMPARE(m_form->windowTitle(), u"密码生成器 v1  密码长度：0"_s);
    }

    void anUnchangedResultLeavesTheCaption()
    {
        // Nothing checked draws the empty text into an empty box: no change, no new caption.
        setClasses(false, false, false, false);
        click(u"generate"_s);
        QCOMPARE(m_form->windowTitle(), u"Form1"_s);
    }

    void randPassChangesNothingInTheWindow()
    {
        box(u"ss_jieguo"_s)->setText(u"keep"_s);
        m_form->setWindowTitle(u"5ED380FF"_s);
        QCOMPARE(m_form->RandPass().size(), 16);
        QCOMPARE(box(u"ss_jieguo"_s)->text(), u"keep"_s);
        QCOMPARE(m_form->windowTitle(), u"5ED380FF"_s);
    }

    void aBadLengthWarnsAndChangesNothing_data()
    {
        QTest::addColumn<QString>("length");
        for (const char *t :
             {"", "abc", "16abc", "1e999", "nan", "   ", "100001", "99999999999999999999"})
            QTest::addRow("\"%s\"", t) << QString::fromLatin1(t);
    }
    void aBadLengthWarnsAndChangesNothing()
    {
        QFETCH(QString, length);
        box(u"ss_jieguo"_s)->setText(u"old"_s);
        const QString caption = m_form->windowTitle();
        box(u"ss_cd"_s)->setText(length);
        click(u"generate"_s);
        QVERIFY(warningShown());
        QVERIFY(warning()->text().contains(u"密码长度"_s));
        QCOMPARE(box(u"ss_jieguo"_s)->text(), u"old"_s);
        QCOMPARE(m_form->windowTitle(), caption);
        QCOMPARE(m_random.nextCalls(), 0);

        // Dismissed, the window works again as before.
        warning()->accept();
        box(u"ss_cd"_s)->setText(u"8"_s);
        click(u"generate"_s);
        QCOMPARE(box(u"ss_jieguo"_s)->text().size(), 8);
        QCOMPARE(m_form->findChildren<QMessageBox *>().size(), 1);
    }

    void publicOperationsCallTheCore()
    {
        QCOMPARE(m_form->Caesar(u"abcXYZ"_s, 3), u"defABC"_s);
        QCOMPARE(m_form->ToUnixTime(u"2020-05-31 18:03:43"_s, 8), Q_INT64_C(1590919423));
        QCOMPARE(m_form->FromUnixTime(1590919423, 8),
                 QDateTime(QDate(2020, 5, 31), QTime(18, 3, 43), QTimeZone::utc()));
        m_random.script({0.0f, 0.0f});
        QCOMPARE(m_form->GeneratePassword(2), u"aa"_s);
    }

    void screenReadersHearWhatEachControlIs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spoken");
        const QList<std::pair<const char *, QString>> rows = {
            {"Text1", u"站点名称"_s},   {"Text2", u"站点网址"_s},
            {"Text3", u"站点端口"_s},   {"Text4", u"数据库表名"_s},
            {"Text5", u"数据库用户"_s}, {"Text6", u"数据库密码"_s},
            {"Text7", u"管理员后台"_s}, {"Text8", u"管理员用户"_s},
            {"Text9", u"管理员密码"_s}, {"ss_dx", u"A-Z"_s},
            {"ss_xx", u"a-z"_s},        {"ss_sz", u"0-9"_s},
            {"ss_fh", u"特殊字符"_s},   {"ss_fh_value", u"特殊字符"_s},
            {"ss_cd", u"密码长度"_s},   {"ss_jieguo", u"生成的密码"_s}};
        for (const auto &[name, spoken] : rows)
            QTest::addRow("%s", name) << QString::fromLatin1(name) << spoken;
    }
    void screenReadersHearWhatEachControlIs()
    {
        QFETCH(QString, name);
        QFETCH(QString, spoken);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(child(name));
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), spoken);
    }

    void buttonsSayWhatTheyGenerate()
    {
        const QString password = QAccessible::queryAccessibleInterface(child(u"generate"_s))
                                     ->text(QAccessible::Description);
        const QString profile = QAccessible::queryAccessibleInterface(child(u"Command1"_s))
                                    ->text(QAccessible::Description);
        QVERIFY(password.contains(u"密码"_s));
        QVERIFY(profile.contains(u"站点资料"_s));
    }

    void passwordLabelsAreButtonsForScreenReaders_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QKeySequence>("key");
        QTest::addRow("Label6") << "Label6"
                                << "Text6" << QKeySequence(Qt::ALT | Qt::Key_D);
        QTest::addRow("Label9") << "Label9"
                                << "Text9" << QKeySequence(Qt::ALT | Qt::Key_A);
    }
    void passwordLabelsAreButtonsForScreenReaders()
    {
        QFETCH(QString, label);
        QFETCH(QString, target);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(child(label));
        QCOMPARE(a->role(), QAccessible::Button);
        QVERIFY(a->text(QAccessible::Description).contains(u"重新生成"_s));
        QAccessibleActionInterface *action = a->actionInterface();
        QVERIFY(action);
        QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
        action->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(box(target)->text().size(), 16);
        // Plain labels stay plain text; the banner is not read out.
        QCOMPARE(QAccessible::queryAccessibleInterface(child(u"Label5"_s))->role(),
                 QAccessible::StaticText);
        QVERIFY(QAccessible::queryAccessibleInterface(child(u"Image1"_s))->state().invisible);

        // The keyboard's way to the same press, announced where users look.
        QFETCH(QKeySequence, key);
        const QString keyText = key.toString(QKeySequence::NativeText);
        QVERIFY(a->text(QAccessible::Description).contains(keyText));
        QVERIFY(child(label)->toolTip().contains(keyText));
        QCOMPARE(action->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                 QStringList{keyText});
        box(target)->clear();
        box(u"Text1"_s)->setFocus();
        QTest::keyClick(box(u"Text1"_s), key[0].key(), key[0].keyboardModifiers());
        QCOMPARE(box(target)->text().size(), 16);
        QVERIFY(box(u"Text1"_s)->text().isEmpty());
    }

    // Hostile input: nothing a user can type or paste breaks the window.

    void oddLengthsAreReadOrRefused_data()
    {
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("size"); // -1: refused with a warning
        QTest::addRow("1e999") << "1e999" << -1;
        QTest::addRow("nan") << "nan" << -1;
        QTest::addRow("blanks only") << "   " << -1;
        QTest::addRow("twenty nines") << "99999999999999999999" << -1;
        QTest::addRow("minus zero") << "-0" << 0;
        QTest::addRow("full-width digits") << u"１２"_s << 12;
        QTest::addRow("an exponent") << "1e1" << 10;
    }
    void oddLengthsAreReadOrRefused()
    {
        QFETCH(QString, length);
        QFETCH(int, size);
        box(u"ss_jieguo"_s)->setText(u"before"_s);
        box(u"ss_cd"_s)->setText(length);
        click(u"generate"_s);
        QCOMPARE(warningShown(), size < 0);
        QCOMPARE(box(u"ss_jieguo"_s)->text().size(), size < 0 ? 6 : size);
    }

    void aMegabyteSiteNameGoesThroughWhole()
    {
        const QString huge = QString(1 << 20, u'a') + u".b"_s;
        box(u"Text1"_s)->setText(huge);
        QCOMPARE(box(u"Text1"_s)->text(), huge);
        click(u"Command1"_s);
        QCOMPARE(box(u"Text2"_s)->text(), u"http://"_s + huge);
        QVERIFY(m_clipboard.text().startsWith(u"站 点 名 称："_s + huge + u"\r\n"_s));
        QVERIFY(!warningShown());
    }

    void controlCharactersInTheSiteNameAreKeptAsTyped()
    {
        // A line edit drops newlines from a paste, but a program may set anything.
        const QString name = u"a\tb\u0000c\u202Ed"_s;
        box(u"Text1"_s)->setText(name);
        click(u"Command1"_s);
        QCOMPARE(box(u"Text2"_s)->text(), u"http://"_s + name);
        QCOMPARE(m_clipboard.text().split(u"\r\n"_s).size(), 11);
    }

    void surrogatePairSpecialsAreNeverSplit()
    {
        useOnlySpecials(u"\U0001F510\U0001F511\U0001F600"_s);
        box(u"ss_cd"_s)->setText(u"20"_s);
        m_random.script({0.5f, 0.9f, 0.1f});
        click(u"generate"_s);
        const QString password = box(u"ss_jieguo"_s)->text();
        QCOMPARE(password.size(), 40);
        for (qsizetype i = 0; i < password.size(); i += 2) {
            QVERIFY(password.at(i).isHighSurrogate());
            QVERIFY(password.at(i + 1).isLowSurrogate());
        }
        QCOMPARE(m_form->windowTitle(), u"密码生成器 v1  密码长度：40"_s);
    }

    // The site-profile area.

    void command1FillsTheProfileAndCopiesTheReport()
    {
        box(u"Text1"_s)->setText(u"Ab.c"_s);
        box(u"Text3"_s)->setText(u"8080"_s);
        box(u"Text7"_s)->setText(u"/manage"_s);
        box(u"Text8"_s)->setText(u"root"_s);
        for (const QString &name : {u"Text2"_s, u"Text4"_s, u"Text5"_s, u"Text6"_s, u"Text9"_s})
            box(name)->setText(u"typed"_s);
        box(u"ss_cd"_s)->setText(u"2"_s);
        // Text6: "AA" (offset 26 keeps letters); Text9: "BB" (offset 26 too).
        const float offset26 = 25.5f / 62;
        m_random.script({0.0f, 0.0f, offset26, 1.5f / 62, 1.5f / 62, offset26});
        click(u"Command1"_s);

        QCOMPARE(m_form->windowTitle(), u"5ED380FF"_s);
        QCOMPARE(box(u"Text1"_s)->text(), u"Ab.c"_s);
        QCOMPARE(box(u"Text2"_s)->text(), u"http://Ab.c"_s);
        QCOMPARE(box(u"Text4"_s)->text(), u"s5ed380ffdb0"_s);
        QCOMPARE(box(u"Text5"_s)->text(), u"s5ed380ffdb0"_s);
        QCOMPARE(box(u"Text6"_s)->text(), u"AA"_s);
        QCOMPARE(box(u"Text9"_s)->text(), u"BB"_s);
        QCOMPARE(m_clipboard.calls(), QStringList({u"clear"_s, u"setSecretText"_s}));
        QCOMPARE(m_clipboard.text(), u"站 点 名 称：Ab.c\r\n站 点 目 录：AB_C\r\n"
                                     u"站 点 网 址：http://Ab.c\r\n站 点 端 口：8080\r\n"
                                     u"数据库表名：s5ed380ffdb0\r\n数据库用户：s5ed380ffdb0\r\n"
                                     u"数据库密码：AA\r\n管理员后台：/manage\r\n"
                                     u"管理员用户：root\r\n管理员密码：BB\r\n"_s);
        QVERIFY(!warningShown());
    }

    void command1RunsItsStepsInOrder()
    {
        box(u"Text1"_s)->setText(u"a.b.c"_s);
        QStringList seen;
        m_random.onReseed = [&] {
            seen << m_form->windowTitle() + u'|' + box(u"Text2"_s)->text() + u'|' +
                        box(u"Text5"_s)->text() + u'|' + box(u"Text6"_s)->text() + u'|' +
                        box(u"Text9"_s)->text() + u'|' +
                        QString::number(m_clipboard.calls().size());
        };
        box(u"ss_cd"_s)->setText(u"2"_s);
        // AA, then offset 26; BB, then offset 26.
        const float offset26 = 25.5f / 62;
        m_random.script({0.0f, 0.0f, offset26, 1.5f / 62, 1.5f / 62, offset26});
        click(u"Command1"_s);
        // Both draws come after caption, URL and user are set, the admin password after the
        // database password is in its box, and both before the clipboard is used.
        QCOMPARE(seen, QStringList({u"5ED380FF|http://a.b.c|s5ed380ffdb0|||0"_s,
                                    u"5ED380FF|http://a.b.c|s5ed380ffdb0|AA||0"_s}));
        QCOMPARE(m_random.log(), u"RNNNRNNN"_s);
    }

    void twoClicksInOneSecondShareTheTokenNotThePasswords()
    {
        box(u"Text1"_s)->setText(u"example.com"_s);
        m_random.script(QList<float>(34, 0.1f));
        click(u"Command1"_s);
        const QString first6 = box(u"Text6"_s)->text();
        const QString first9 = box(u"Text9"_s)->text();
        const QString table = box(u"Text4"_s)->text();
        m_random.script(QList<float>(34, 0.3f));
        click(u"Command1"_s);
        QCOMPARE(box(u"Text4"_s)->text(), table);
        QCOMPARE(m_form->windowTitle(), u"5ED380FF"_s);
        QVERIFY(box(u"Text6"_s)->text() != first6);
        QVERIFY(box(u"Text9"_s)->text() != first9);
    }

    void passwordLabelsRedrawOneBoxOnly_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("other");
        QTest::addRow("Label6 redraws the database password") << "Label6"
                                                              << "Text6"
                                                              << "Text9";
        QTest::addRow("Label9 redraws the admin password") << "Label9"
                                                           << "Text9"
                                                           << "Text6";
    }
    void passwordLabelsRedrawOneBoxOnly()
    {
        QFETCH(QString, label);
        QFETCH(QString, target);
        QFETCH(QString, other);
        box(u"Text1"_s)->setText(u"a.b"_s);
        click(u"Command1"_s);
        const QString report = m_clipboard.text();
        const QString otherBefore = box(other)->text();
        // Settings changed since the profile: the redraw reads them afresh.
        box(u"ss_cd"_s)->setText(u"5"_s);
        setClasses(false, false, true, false);
        m_random.script(QList<float>(6, 0.95f));
        click(label);
        QCOMPARE(box(target)->text(), u"99999"_s);
        QVERIFY(box(target)->text() != box(other)->text());
        QCOMPARE(box(other)->text(), otherBefore);
        QCOMPARE(m_clipboard.text(), report);
        QCOMPARE(m_clipboard.calls().size(), 2);
        QCOMPARE(m_form->windowTitle(), u"5ED380FF"_s);
    }

    void passwordBoxesCopyAsSecrets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("cursor");     // -1: all selected
        QTest::addColumn<QString>("left");   // the box's text afterwards
        QTest::addColumn<QString>("copied"); // empty: a plain copy
        const int ctrl = int(Qt::ControlModifier);
        QTest::addRow("Ctrl+C in the generated password")
            << u"ss_jieguo"_s << int(Qt::Key_C) << ctrl << -1 << u"pw1"_s << u"pw1"_s;
        QTest::addRow("Ctrl+Insert in the database password")
            << u"Text6"_s << int(Qt::Key_Insert) << ctrl << -1 << u"pw1"_s << u"pw1"_s;
        QTest::addRow("Shift+Delete cuts the admin password")
            << u"Text9"_s << int(Qt::Key_Delete) << int(Qt::ShiftModifier) << -1 << QString()
            << u"pw1"_s;
        QTest::addRow("Ctrl+U deletes the whole database password")
            << u"Text6"_s << int(Qt::Key_U) << ctrl << 2 << QString() << u"pw1"_s;
        QTest::addRow("Ctrl+K deletes the generated password's end")
            << u"ss_jieguo"_s << int(Qt::Key_K) << ctrl << 1 << u"p"_s << u"w1"_s;
        QTest::addRow("Ctrl+C in the site name stays plain")
            << u"Text1"_s << int(Qt::Key_C) << ctrl << -1 << u"pw1"_s << QString();
    }
    void passwordBoxesCopyAsSecrets()
    {
        QFETCH(QString, name);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, cursor);
        QFETCH(QString, left);
        QFETCH(QString, copied);
        const bool secret = !copied.isEmpty();
        const QKeySequence pressed{QKeyCombination(Qt::KeyboardModifiers(modifiers), Qt::Key(key))};
        if ((key == Qt::Key_U || key == Qt::Key_K) &&
            !QKeySequence::keyBindings(QKeySequence::DeleteCompleteLine).contains(pressed) &&
            !QKeySequence::keyBindings(QKeySequence::DeleteEndOfLine).contains(pressed))
            QSKIP("bound under X11, KDE and GNOME only: tst_form1_x11 runs it");
        QGuiApplication::clipboard()->clear();
        box(name)->setText(u"pw1"_s);
        box(name)->setFocus();
        if (cursor < 0)
            box(name)->selectAll();
        else
            box(name)->setCursorPosition(cursor);
        QTest::keyClick(box(name), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(box(name)->text(), left);
        QCOMPARE(m_clipboard.calls(), secret ? QStringList{u"setSecretText"_s} : QStringList());
        QCOMPARE(m_clipboard.text(), copied);
        // The plain box copies as any line edit does, with no marker.
        const QMimeData *system = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(system && system->text() == u"pw1"_s, !secret);
    }

    void theContextMenuCopiesAsASecret_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("left");
        QTest::addRow("Copy keeps the text") << int(QKeySequence::Copy) << u"pw9"_s;
        QTest::addRow("Cut empties the box") << int(QKeySequence::Cut) << QString();
    }
    void theContextMenuCopiesAsASecret()
    {
        QFETCH(int, action);
        QFETCH(QString, left);
        box(u"Text9"_s)->setText(u"pw9"_s);
        box(u"Text9"_s)->selectAll();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                box(u"Text9"_s)->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(box(u"Text9"_s), &event);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        // The action is the one that shows the key of its standard shortcut.
        const QString key =
            QKeySequence(QKeySequence::StandardKey(action)).toString(QKeySequence::NativeText);
        for (QAction *item : menu->actions())
            if (item->text().contains(key))
                item->trigger();
        menu->close();
        QCOMPARE(m_clipboard.calls(), QStringList{u"setSecretText"_s});
        QCOMPARE(m_clipboard.text(), u"pw9"_s);
        QCOMPARE(box(u"Text9"_s)->text(), left);
    }

    void passwordsAreDrawnWithoutLigatures()
    {
        // Laid out as the box lays it out: "fl" and "fi" must stay two glyphs each, so a password
        // read off the screen shows every character. A ligature font proves the test can fail.
        const auto glyphs = [](const QFont &font, const QString &text) {
            QTextLayout layout(text, font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            qsizetype count = 0;
            for (const QGlyphRun &run : layout.glyphRuns())
                count += run.glyphIndexes().size();
            return count;
        };
        QFont ligatures(u"DejaVu Sans"_s);
        if (glyphs(ligatures, u"fl"_s) != 1)
            QSKIP("no font with an fl ligature here");
        for (const QString &name : {u"ss_jieguo"_s, u"Text6"_s, u"Text9"_s}) {
            QFont font = box(name)->font();
            QCOMPARE(font.family(), box(u"Text1"_s)->font().family());
            font.setFamily(u"DejaVu Sans"_s);
            QCOMPARE(glyphs(font, u"C0flD9fi"_s), 8);
        }
    }

    void aKeyboardSelectionIsMarkedSecret()
    {
        if (!QGuiApplication::clipboard()->supportsSelection())
            QSKIP("no mouse selection on this platform: tst_form1_x11 runs it");
        box(u"Text6"_s)->setText(u"pw6"_s);
        box(u"Text6"_s)->setFocus();
        box(u"Text6"_s)->setCursorPosition(0);
        QTest::keyClick(box(u"Text6"_s), Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(m_clipboard.calls(), QStringList{u"setSecretText:selection"_s});
        QCOMPARE(m_clipboard.text(), u"pw6"_s);
    }

    void otherLabelsDoNothing()
    {
        for (const QString &name : {u"Label1"_s, u"Label5"_s, u"Label7"_s, u"Label8"_s,
                                    u"Label10"_s, u"Image1"_s, u"Frame1"_s})
            click(name);
        QVERIFY(m_random.log().isEmpty());
        QCOMPARE(m_form->windowTitle(), u"Form1"_s);
    }

    void command1WithABadLengthKeepsTheEarlierSteps_data()
    {
        QTest::addColumn<QString>("length");
        QTest::addRow("no number") << u"abc"_s;
        QTest::addRow("over the limit") << u"100001"_s;
    }
    void command1WithABadLengthKeepsTheEarlierSteps()
    {
        QFETCH(QString, length);
        box(u"Text1"_s)->setText(u"a.b"_s);
        box(u"Text6"_s)->setText(u"old6"_s);
        box(u"ss_cd"_s)->setText(length);
        click(u"Command1"_s);
        QCOMPARE(m_form->windowTitle(), u"5ED380FF"_s);
        QCOMPARE(box(u"Text2"_s)->text(), u"http://a.b"_s);
        QCOMPARE(box(u"Text5"_s)->text(), u"s5ed380ffdb0"_s);
        QCOMPARE(box(u"Text6"_s)->text(), u"old6"_s);
        QVERIFY(m_clipboard.calls().isEmpty());
        QVERIFY(warningShown());
        QCOMPARE(warning()->windowTitle(), u"密码长度无效"_s);
        QVERIFY(warning()->text().contains(u"密码长度"_s));
    }

    void command1TellsWhenTheClipboardRefuses()
    {
        m_clipboard.refuse(true);
        box(u"Text1"_s)->setText(u"a.b"_s);
        click(u"Command1"_s);
        QCOMPARE(box(u"Text9"_s)->text().size(), 16);
        QVERIFY(warningShown());
        QVERIFY(warning()->text().contains(u"剪贴板"_s));
    }

    void command1After2038ChangesNothing()
    {
        m_clock.set(QDateTime(QDate(2038, 1, 19), QTime(11, 14, 8), QTimeZone::utc()));
        box(u"Text1"_s)->setText(u"a.b"_s);
        click(u"Command1"_s);
        QCOMPARE(m_form->windowTitle(), u"Form1"_s);
        QVERIFY(box(u"Text2"_s)->text().isEmpty());
        QVERIFY(m_random.log().isEmpty());
        QVERIFY(m_clipboard.calls().isEmpty());
        QVERIFY(warningShown());
        QVERIFY(warning()->text().contains(u"2038"_s));

        // The last second that fits still works.
        warning()->accept();
        m_clock.set(QDateTime(QDate(2038, 1, 19), QTime(11, 14, 7), QTimeZone::utc()));
        click(u"Command1"_s);
        QCOMPARE(m_form->windowTitle(), u"7FFFFFFF"_s);
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
