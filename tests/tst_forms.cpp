#include <QtTest>
#include <QtWidgets>

#include "db/serversettingswidget.h"
#include "forms/abstractformwidget.h"
#include "forms/formdialog.h"
#include "forms/groupformwidget.h"
#include "forms/preferencedialog.h"
#include "forms/proxysettingswidget.h"
#include "loopbackhttpserver.h"
#include "modalanswer.h"
#include "testdatabase.h"
#include "testsettings.h"

namespace {

// A page that writes down every load() and save() it receives into a shared journal.
struct JournalPage : AbstractFormWidget
{
    JournalPage(const QString &name, QStringList *journal, bool fails = false)
        : name(name)
        , journal(journal)
        , fails(fails)
    {}
    bool save() override { return (*journal << "save " + name, !fails); }
    QString errorString() const override { return fails ? "disk full" : QString(); }
    bool load() override { return (*journal << "load " + name, true); }
    QString name;
    QStringList *journal;
    bool fails;
};

enum Outcome { Rejected = QDialog::Rejected, Accepted = QDialog::Accepted, Open };

struct Press
{
    bool group, fails; // the group dialog; the page's save fails
    QString input;     // a button, or a key
    QStringList journal;
    Outcome outcome;
};

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
        QTest::newRow("group, default")
            << Press{true, false, "defaultButton", {"load user", "load group", "load key"}, Open};
        QTest::newRow("group, Return is Ok") << Press{true, false, "Return", all, Accepted};
        QTest::newRow("page, Save") << Press{false, false, "saveButton", one, Accepted};
        QTest::newRow("page, Default") << Press{false, false, "defaultButton", {"load user"}, Open};
        QTest::newRow("page, Cancel") << Press{false, false, "cancelButton", none, Rejected};
        QTest::newRow("page, Escape cancels") << Press{false, false, "Escape", none, Rejected};
        QTest::newRow("page, failed Save") << Press{false, true, "saveButton", one, Open};
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
        QCOMPARE(dialog->isVisible() ? Open : Outcome(dialog->result()), c.outcome);
    }
    // Whatever was shown comes back unchanged, and an edit is stored as typed.
    void proxyPageRoundTrip()
    {
        const QVariantMap stored{
            {"hasProxy", true}, {"proxyType", "Socks5 Proxy"}, {"hostName", "socks.example"},
            {"port", 1080},     {"username", "o'brien"},       {"password", "a\\b"}};
        for (const QString &key : stored.keys())
            QSettings().setValue("proxy/" + key, stored.value(key));
        ProxySettingsWidget page;
        QVERIFY(page.load());
        QCOMPARE(page.findChild<QLineEdit *>("usernameEdit")->text(), QString("o'brien"));
        page.findChild<QSpinBox *>("portSpinBox")->setValue(3128);
        QVERIFY(page.save());
        QSettings settings;
        settings.beginGroup("proxy");
        for (const QString &key : stored.keys())
            QCOMPARE(settings.value(key).toString(),
                     key == "port" ? QString("3128") : stored.value(key).toString());
    }
    // No stored port shows as "default" and stays absent.
    void serverPageKeepsPort()
    {
        QSettings().setValue("database/driver", "QMYSQL");
        QSettings().setValue("database/host", "db.example");
        ServerSettingsWidget page;
        QVERIFY(page.load());
        QCOMPARE(page.findChild<QSpinBox *>("portSpinBox")->text(), QString("default"));
        QVERIFY(page.save());
        QSettings settings;
        QCOMPARE(settings.value("database/port").toInt(), 0);
        QCOMPARE(settings.value("database/host").toString(), QString("db.example"));
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
    // Its pages save without complaint: "Ok" closes it.
    void preferenceDialogPages()
    {
        PreferenceDialog dialog;
        auto *list = dialog.findChild<QListWidget *>("listWidget");
        QCOMPARE(list->item(0)->text() + list->item(1)->text() + list->item(2)->text(),
                 QString("serverProxystyles"));
        dialog.show();
        ModalAnswer box(ModalAnswer::accept(), 1000);
        QTest::mouseClick(dialog.findChild<QPushButton *>("okButton"), Qt::LeftButton);
        QVERIFY2(!box.answered() && !dialog.isVisible(), qPrintable(box.text()));
    }

private:
    TestSettings settings;
};

QTEST_MAIN(FormsTest)
#include "tst_forms.moc"
