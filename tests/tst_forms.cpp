#include <QtTest>
#include <QtWidgets>

#include "db/serversettingswidget.h"
#include "forms/abstractformwidget.h"
#include "forms/formdialog.h"
#include "forms/groupformwidget.h"
#include "forms/preferencedialog.h"
#include "forms/proxysettingswidget.h"
#include "forms/stylesettingswidget.h"
#include "loopbackhttpserver.h"
#include "modalanswer.h"
#include "testdatabase.h"
#include "testsettings.h"

namespace {

// A page that writes down every load() and save() it receives into a shared journal.
class JournalPage : public AbstractFormWidget
{
public:
    JournalPage(const QString &name, QStringList *journal, bool fails = false)
        : name(name)
        , journal(journal)
        , fails(fails)
    {
        setWindowTitle(name);
    }
    bool save() override
    {
        *journal << "save " + name;
        return !fails;
    }
    QString errorString() const override { return fails ? "disk full" : QString(); }
    bool load() override
    {
        *journal << "load " + name;
        return true;
    }

private:
    QString name;
    QStringList *journal;
    bool fails;
};

enum Outcome { Open, Accepted, Rejected };

struct Press
{
    bool group, fails; // the group dialog; the page's save fails
    QString input;     // a button, or a key
    QStringList journal;
    Outcome outcome;
};

// Stores a settings group as given.
void store(const QString &group, const QVariantMap &values)
{
    QSettings settings;
    settings.beginGroup(group);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
}

} // namespace

Q_DECLARE_METATYPE(Press)

class FormsTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { settings.clear(); }
    void buttons_data()
    {
        QTest::addColumn<Press>("c");
        const QStringList all{"save user", "save group", "save key"};
        const QStringList one{"save user"};
        const QStringList none;
        QTest::newRow("group, Apply") << Press{true, false, "applyButton", all, Open};
        QTest::newRow("group, Ok") << Press{true, false, "okButton", all, Accepted};
        QTest::newRow("group, Cancel") << Press{true, false, "cancelButton", none, Rejected};
        QTest::newRow("group, default")
            << Press{true, false, "defaultButton", {"load user", "load group", "load key"}, Open};
        QTest::newRow("group, Return is Ok") << Press{true, false, "Return", all, Accepted};
        QTest::newRow("page, Save") << Press{false, false, "saveButton", one, Accepted};
        QTest::newRow("page, Apply") << Press{false, false, "applyButton", one, Open};
        QTest::newRow("page, Default") << Press{false, false, "defaultButton", {"load user"}, Open};
        QTest::newRow("page, Cancel") << Press{false, false, "cancelButton", none, Rejected};
        QTest::newRow("page, Escape cancels") << Press{false, false, "Escape", none, Rejected};
        QTest::newRow("page, failed Save") << Press{false, true, "saveButton", one, Open};
        QTest::newRow("page, failed Apply") << Press{false, true, "applyButton", one, Open};
    }
    // The group dialog and the one-page dialog, driven by mouse or keyboard only; a failed save
    // is told and keeps the dialog open.
    void buttons()
    {
        QFETCH(Press, c);
        QStringList seen;
        std::unique_ptr<QDialog> dialog;
        if (c.group) {
            auto *group = new GroupFormWidget;
            for (const char *name : {"user", "group", "key"})
                group->addFormWidget(new JournalPage(name, &seen));
            dialog.reset(group);
        } else {
            dialog = std::make_unique<FormDialog>(new JournalPage("user", &seen, c.fails));
        }
        QSignalSpy accepted(dialog.get(), &QDialog::accepted);
        QSignalSpy rejected(dialog.get(), &QDialog::rejected);
        dialog->show();
        ModalAnswer warning(ModalAnswer::accept(), c.fails ? 10000 : 0);
        if (c.input.endsWith("Button")) {
            auto *button = dialog->findChild<QPushButton *>(c.input);
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
            QWidget *focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : dialog.get(),
                            c.input == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        }
        QCOMPARE(seen, c.journal);
        QCOMPARE(warning.answered(), c.fails);
        if (c.fails) {
            QCOMPARE(warning.title(), QString("Not saved"));
            QVERIFY2(warning.text().contains("disk full"), qPrintable(warning.text()));
        }
        const Outcome shown = accepted.count()      ? Accepted
                              : rejected.count()    ? Rejected
                              : dialog->isVisible() ? Open
                                                    : Rejected;
        QCOMPARE(shown, c.outcome);
    }
    void proxyPageRoundTrip_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QString>("shownType");
        QTest::newRow("socks") << QVariantMap{{"hasProxy", true},
                                              {"proxyType", "Socks5 Proxy"},
                                              {"hostName", "socks.example"},
                                              {"port", 1080},
                                              {"username", "o'brien"},
                                              {"password", "a\\b"}}
                               << "Socks5 Proxy";
        QTest::newRow("unknown type")
            << QVariantMap{{"hasProxy", true}, {"proxyType", "Gopher"}} << "Default Proxy";
    }
    // Whatever was shown comes back unchanged, and an edit is stored as typed.
    void proxyPageRoundTrip()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QString, shownType);
        store("proxy", stored);
        ProxySettingsWidget page;
        QVERIFY(page.load());
        QVERIFY(page.findChild<QGroupBox *>("groupBox")->isChecked());
        QCOMPARE(page.findChild<QComboBox *>("typeComboBox")->currentText(), shownType);
        QCOMPARE(page.findChild<QLineEdit *>("hostNameEdit")->text(),
                 stored.value("hostName").toString());
        QCOMPARE(page.findChild<QLineEdit *>("usernameEdit")->text(),
                 stored.value("username").toString());
        page.findChild<QSpinBox *>("portSpinBox")->setValue(3128);
        QVERIFY(page.save());
        QSettings settings;
        settings.beginGroup("proxy");
        QCOMPARE(settings.value("hasProxy").toBool(), true);
        QCOMPARE(settings.value("proxyType").toString(), shownType);
        QCOMPARE(settings.value("password").toString(), stored.value("password").toString());
        QCOMPARE(settings.value("port").toInt(), 3128);
    }
    void stylePageAppliesAtOnce()
    {
        StyleSettingsWidget page;
        QVERIFY(page.load());
        auto *theme = page.findChild<QComboBox *>("themeComboBox");
        theme->setCurrentIndex(theme->findText("Fusion"));
        QCOMPARE(qApp->style()->name().toLower(), QString("fusion"));
        QVERIFY(page.save());
        QCOMPARE(QSettings().value("styles/theme").toString(), QString("Fusion"));
    }
    void serverPageKeepsPort_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shownText");
        QTest::newRow("absent") << QVariant() << "default";
        QTest::newRow("given") << QVariant(33061) << "33061";
    }
    void serverPageKeepsPort()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, shownText);
        QVariantMap values{{"driver", "QMYSQL"}, {"host", "db.example"}, {"databasename", "study"}};
        if (stored.isValid())
            values.insert("port", stored);
        store("database", values);
        ServerSettingsWidget page;
        QVERIFY(page.load());
        auto *port = page.findChild<QSpinBox *>("portSpinBox");
        QCOMPARE(port->value(), stored.toInt());
        QCOMPARE(port->text(), shownText);
        QVERIFY(page.save());
        QSettings settings;
        QCOMPARE(settings.value("database/port").toInt(), stored.toInt());
        QCOMPARE(settings.value("database/host").toString(), QString("db.example"));
        QCOMPARE(settings.value("database/databasename").toString(), QString("study"));
    }
    void serverPageTest_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("text");
        QTest::newRow("server answers") << true << "connection success";
        QTest::newRow("nothing listens") << false << "cannot open connection";
    }
    void serverPageTest()
    {
        QFETCH(bool, reachable);
        QFETCH(QString, text);
        TestDatabase db;
        QVERIFY_CREATE(db);
        db.writeConnectionSettings();
        ServerSettingsWidget page;
        QVERIFY(page.load());
        if (!reachable)
            page.findChild<QSpinBox *>("portSpinBox")
                ->setValue(LoopbackHttpServer::refusedUrl("").port());
        ModalAnswer answer(ModalAnswer::accept());
        QTest::mouseClick(page.findChild<QPushButton *>("testButton"), Qt::LeftButton);
        QVERIFY(answer.answered());
        QCOMPARE(answer.text(), text);
        QCOMPARE(answer.detailedText().isEmpty(), reachable);
        // The test never stores what it tried.
        QCOMPARE(QSettings().value("database/port").toInt(), TestDatabase::port());
        db.drop();
    }
    // Its pages, loaded at construction, save without complaint: "Ok" closes it.
    void preferenceDialogPages()
    {
        QSettings().setValue("proxy/hostName", "cache.example");
        PreferenceDialog dialog;
        auto *list = dialog.findChild<QListWidget *>("listWidget");
        QStringList titles;
        for (int row = 0; row < list->count(); ++row)
            titles << list->item(row)->text();
        QCOMPARE(titles, QStringList({"server", "Proxy", "styles"}));
        QCOMPARE(dialog.findChild<QLineEdit *>("hostNameEdit")->text(), QString("cache.example"));
        dialog.show();
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        ModalAnswer box(ModalAnswer::accept(), 1000);
        QTest::mouseClick(dialog.findChild<QPushButton *>("okButton"), Qt::LeftButton);
        QVERIFY2(!box.answered(), qPrintable(box.text()));
        QCOMPARE(accepted.count(), 1);
    }

private:
    TestSettings settings;
};

QTEST_MAIN(FormsTest)
#include "tst_forms.moc"
