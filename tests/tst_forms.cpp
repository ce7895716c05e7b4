#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTcpServer>
#include <QtTest>

#include "db/serversettingswidget.h"
#include "forms/abstractformwidget.h"
#include "forms/formdialog.h"
#include "forms/groupformwidget.h"
#include "forms/preferencedialog.h"
#include "forms/proxysettingswidget.h"
#include "forms/stylesettingswidget.h"
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
        setWindowIcon(QIcon(":/16x16/" + name + ".png"));
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

class JournalDialog : public GroupFormWidget
{
public:
    explicit JournalDialog(QStringList *journal)
    {
        for (const char *name : {"user", "group", "key"})
            addFormWidget(new JournalPage(name, journal));
    }
};

enum class Outcome { Open, Accepted, Rejected };

void click(QWidget *dialog, const char *button)
{
    auto *widget = dialog->findChild<QPushButton *>(button);
    QVERIFY2(widget, button);
    QTest::mouseClick(widget, Qt::LeftButton);
}

Outcome outcomeOf(QDialog &dialog, const QSignalSpy &accepted, const QSignalSpy &rejected)
{
    if (accepted.count())
        return Outcome::Accepted;
    if (rejected.count())
        return Outcome::Rejected;
    return dialog.isVisible() ? Outcome::Open : Outcome::Rejected;
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class FormsTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { settings.clear(); }

    void groupShowsFirstPageThenTheClickedOne();
    void buttons_data();
    void buttons();
    void formDialogKeepsAFailedPage_data();
    void formDialogKeepsAFailedPage();

    void proxyPageRoundTrip_data();
    void proxyPageRoundTrip();
    void stylePageAppliesAtOnce();
    void serverPageKeepsPort_data();
    void serverPageKeepsPort();
    void serverPageTest_data();
    void serverPageTest();
    void preferenceDialogPages();

private:
    TestSettings settings;
};

void FormsTest::groupShowsFirstPageThenTheClickedOne()
{
    QStringList journal;
    JournalDialog dialog(&journal);
    dialog.show();
    auto *tabs = dialog.findChild<QTabWidget *>("tabWidget");
    auto *stack = dialog.findChild<QStackedWidget *>("stackedWidget");
    auto *list = dialog.findChild<QListWidget *>("listWidget");
    QCOMPARE(tabs->tabText(0), QString("user"));
    QCOMPARE(tabs->tabIcon(0).pixmap(16).toImage(), QIcon(":/16x16/user.png").pixmap(16).toImage());
    QCOMPARE(stack->currentIndex(), 0);
    QCOMPARE(list->count(), 3);
    QVERIFY(journal.isEmpty());

    const QRect third = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(stack->currentIndex(), 2);
    QCOMPARE(tabs->tabText(0), QString("key"));
    QCOMPARE(tabs->tabIcon(0).pixmap(16).toImage(), QIcon(":/16x16/key.png").pixmap(16).toImage());
}

void FormsTest::buttons_data()
{
    QTest::addColumn<bool>("group");
    QTest::addColumn<QString>("input"); // a button, or a key
    QTest::addColumn<QStringList>("journal");
    QTest::addColumn<Outcome>("outcome");
    const QStringList saveAll{"save user", "save group", "save key"};
    const QStringList saveOne{"save user"};
    // clang-format off
    QTest::newRow("group, Apply") << true << "applyButton" << saveAll << Outcome::Open;
    QTest::newRow("group, Ok") << true << "okButton" << saveAll << Outcome::Accepted;
    QTest::newRow("group, Cancel") << true << "cancelButton" << QStringList() << Outcome::Rejected;
    QTest::newRow("group, default") << true << "defaultButton"
            << QStringList{"load user", "load group", "load key"} << Outcome::Open;
    QTest::newRow("group, Return is Ok") << true << "Return" << saveAll << Outcome::Accepted;
    QTest::newRow("group, Escape cancels") << true << "Escape" << QStringList()
            << Outcome::Rejected;
    QTest::newRow("page, Save") << false << "saveButton" << saveOne << Outcome::Accepted;
    QTest::newRow("page, Apply") << false << "applyButton" << saveOne << Outcome::Open;
    QTest::newRow("page, Default") << false << "defaultButton" << QStringList{"load user"}
            << Outcome::Open;
    QTest::newRow("page, Cancel") << false << "cancelButton" << QStringList() << Outcome::Rejected;
    QTest::newRow("page, Return saves") << false << "Return" << saveOne << Outcome::Accepted;
    QTest::newRow("page, Escape cancels") << false << "Escape" << QStringList()
            << Outcome::Rejected;
    // clang-format on
}

// The group dialog and the one-page dialog, driven by mouse or keyboard only.
void FormsTest::buttons()
{
    QFETCH(bool, group);
    QFETCH(QString, input);
    QFETCH(QStringList, journal);
    QFETCH(Outcome, outcome);
    QStringList seen;
    std::unique_ptr<QDialog> dialog;
    if (group) {
        dialog = std::make_unique<JournalDialog>(&seen);
    } else {
        auto *page = new JournalPage("user", &seen);
        dialog = std::make_unique<FormDialog>(page);
        QCOMPARE(page->parentWidget(), dialog->findChild<QGroupBox *>("groupBox"));
    }
    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    QSignalSpy rejected(dialog.get(), &QDialog::rejected);
    dialog->show();
    QVERIFY(seen.isEmpty());
    if (input.endsWith("Button")) {
        click(dialog.get(), qPrintable(input));
    } else {
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : dialog.get(),
                        input == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    }
    QCOMPARE(seen, journal);
    QCOMPARE(outcomeOf(*dialog, accepted, rejected), outcome);
}

void FormsTest::formDialogKeepsAFailedPage_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("Save") << "saveButton";
    QTest::newRow("Apply") << "applyButton";
}

void FormsTest::formDialogKeepsAFailedPage()
{
    QFETCH(QString, button);
    QStringList seen;
    FormDialog dialog(new JournalPage("user", &seen, true));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.show();
    ModalAnswer warning(ModalAnswer::accept());
    click(&dialog, qPrintable(button));
    QVERIFY(warning.answered());
    QCOMPARE(warning.title(), QString("Not saved"));
    QVERIFY2(warning.text().contains("disk full"), qPrintable(warning.text()));
    QCOMPARE(seen, QStringList{"save user"});
    QCOMPARE(accepted.count(), 0);
    QVERIFY(dialog.isVisible());
}

void FormsTest::proxyPageRoundTrip_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QString>("shownType");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("nothing stored") << QVariantMap() << "Default Proxy" << false;
    QTest::newRow("socks") << QVariantMap{{"hasProxy", true},
                                          {"proxyType", "Socks5 Proxy"},
                                          {"hostName", "socks.example"},
                                          {"port", 1080},
                                          {"username", "o'brien"},
                                          {"password", "a\\b"}}
                           << "Socks5 Proxy" << true;
    QTest::newRow("unknown type") << QVariantMap{{"hasProxy", true}, {"proxyType", "Gopher"}}
                                  << "Default Proxy" << true;
}

void FormsTest::proxyPageRoundTrip()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QString, shownType);
    QFETCH(bool, enabled);
    {
        QSettings store;
        store.beginGroup("proxy");
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            store.setValue(it.key(), it.value());
    }
    ProxySettingsWidget page;
    QCOMPARE(page.windowTitle(), QString("Proxy"));
    QVERIFY(page.load());
    auto *group = page.findChild<QGroupBox *>("groupBox");
    auto *type = page.findChild<QComboBox *>("typeComboBox");
    QCOMPARE(group->isChecked(), enabled);
    QCOMPARE(type->currentText(), shownType);
    QCOMPARE(page.findChild<QLineEdit *>("hostNameEdit")->text(),
             stored.value("hostName").toString());
    QCOMPARE(page.findChild<QLineEdit *>("usernameEdit")->text(),
             stored.value("username").toString());

    // Whatever was shown comes back unchanged, and an edit is stored as typed.
    QVERIFY(page.save());
    QSettings store;
    store.beginGroup("proxy");
    QCOMPARE(store.value("hasProxy").toBool(), enabled);
    QCOMPARE(store.value("proxyType").toString(), shownType);
    QCOMPARE(store.value("password").toString(), stored.value("password").toString());
    page.findChild<QSpinBox *>("portSpinBox")->setValue(3128);
    QVERIFY(page.save());
    QCOMPARE(store.value("port").toInt(), 3128);
}

void FormsTest::stylePageAppliesAtOnce()
{
    StyleSettingsWidget page;
    QVERIFY(page.load());
    auto *theme = page.findChild<QComboBox *>("themeComboBox");
    const int fusion = theme->findText("Fusion");
    QVERIFY(fusion >= 0);
    theme->setCurrentIndex(fusion);
    QCOMPARE(qApp->style()->name().toLower(), QString("fusion"));
    QVERIFY(page.save());
    QCOMPARE(QSettings().value("styles/theme").toString(), QString("Fusion"));

    QSettings().setValue("styles/theme", "Windows");
    StyleSettingsWidget other;
    QVERIFY(other.load());
    QCOMPARE(qApp->style()->name().toLower(), QString("windows"));
}

void FormsTest::serverPageKeepsPort_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("shownText");
    QTest::newRow("absent") << QVariant() << 0 << "default";
    QTest::newRow("given") << QVariant(33061) << 33061 << "33061";
}

void FormsTest::serverPageKeepsPort()
{
    QFETCH(QVariant, stored);
    QFETCH(int, shown);
    QFETCH(QString, shownText);
    {
        QSettings store;
        store.beginGroup("database");
        store.setValue("driver", "QMYSQL");
        store.setValue("host", "db.example");
        store.setValue("databasename", "study");
        if (stored.isValid())
            store.setValue("port", stored);
    }
    ServerSettingsWidget page;
    QVERIFY(page.load());
    auto *port = page.findChild<QSpinBox *>("portSpinBox");
    QCOMPARE(port->value(), shown);
    QCOMPARE(port->text(), shownText);
    QCOMPARE(page.findChild<QComboBox *>("driverComboBox")->currentText(), QString("QMYSQL"));
    QVERIFY(page.save());
    QSettings store;
    QCOMPARE(store.value("database/port").toInt(), shown);
    QCOMPARE(store.value("database/host").toString(), QString("db.example"));
    QCOMPARE(store.value("database/databasename").toString(), QString("study"));
}

void FormsTest::serverPageTest_data()
{
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("text");
    QTest::newRow("server answers") << true << "connection success";
    QTest::newRow("nothing listens") << false << "cannot open connection";
}

void FormsTest::serverPageTest()
{
    QFETCH(bool, reachable);
    QFETCH(QString, text);
    TestDatabase db;
    QString error;
    QVERIFY2(db.create(&error), qPrintable(error));
    db.writeConnectionSettings();
    ServerSettingsWidget page;
    QVERIFY(page.load());
    if (!reachable) {
        // A port of a listening socket that is closed again at once: refused for certain.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const int port = probe.serverPort();
        probe.close();
        page.findChild<QSpinBox *>("portSpinBox")->setValue(port);
    }
    ModalAnswer answer(ModalAnswer::accept());
    QTest::mouseClick(page.findChild<QPushButton *>("testButton"), Qt::LeftButton);
    QVERIFY(answer.answered());
    QCOMPARE(answer.text(), text);
    QCOMPARE(answer.detailedText().isEmpty(), reachable);
    // The test never stores what it tried.
    QCOMPARE(QSettings().value("database/port").toInt(), TestDatabase::port());
    db.drop();
}

void FormsTest::preferenceDialogPages()
{
    QSettings().setValue("proxy/hostName", "cache.example");
    PreferenceDialog dialog;
    auto *list = dialog.findChild<QListWidget *>("listWidget");
    QStringList titles;
    for (int row = 0; row < list->count(); ++row)
        titles << list->item(row)->text();
    QCOMPARE(titles, QStringList({"server", "Proxy", "styles"}));
    // Loaded at construction.
    QCOMPARE(dialog.findChild<QLineEdit *>("hostNameEdit")->text(), QString("cache.example"));
    // Its pages save without complaint: "Ok" closes it.
    dialog.show();
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    ModalAnswer box(ModalAnswer::accept(), 300);
    click(&dialog, "okButton");
    QTest::qWait(400);
    QVERIFY2(!box.answered(), qPrintable(box.text()));
    QCOMPARE(accepted.count(), 1);
}

QTEST_MAIN(FormsTest)
#include "tst_forms.moc"
