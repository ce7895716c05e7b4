#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QtTest>

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

// Stores a settings group as given.
void store(const QString &group, const QVariantMap &values)
{
    QSettings settings;
    settings.beginGroup(group);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class FormsTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { settings.clear(); }

    void buttons_data();
    void buttons();
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

void FormsTest::buttons_data()
{
    QTest::addColumn<bool>("group");
    QTest::addColumn<bool>("fails");    // the page's save fails
    QTest::addColumn<QString>("input"); // a button, or a key
    QTest::addColumn<QStringList>("journal");
    QTest::addColumn<Outcome>("outcome");
    const QStringList saveAll{"save user", "save group", "save key"};
    const QStringList saveOne{"save user"};
    // clang-format off
    QTest::newRow("group, Apply") << true << false << "applyButton" << saveAll << Outcome::Open;
    QTest::newRow("group, Ok") << true << false << "okButton" << saveAll << Outcome::Accepted;
    QTest::newRow("group, Cancel") << true << false << "cancelButton" << QStringList()
            << Outcome::Rejected;
    QTest::newRow("group, default") << true << false << "defaultButton"
            << QStringList{"load user", "load group", "load key"} << Outcome::Open;
    QTest::newRow("group, Return is Ok") << true << false << "Return" << saveAll
            << Outcome::Accepted;
    QTest::newRow("page, Save") << false << false << "saveButton" << saveOne << Outcome::Accepted;
    QTest::newRow("page, Apply") << false << false << "applyButton" << saveOne << Outcome::Open;
    QTest::newRow("page, Default") << false << false << "defaultButton"
            << QStringList{"load user"} << Outcome::Open;
    QTest::newRow("page, Cancel") << false << false << "cancelButton" << QStringList()
            << Outcome::Rejected;
    QTest::newRow("page, Escape cancels") << false << false << "Escape" << QStringList()
            << Outcome::Rejected;
    QTest::newRow("page, failed Save") << false << true << "saveButton" << saveOne
            << Outcome::Open;
    QTest::newRow("page, failed Apply") << false << true << "applyButton" << saveOne
            << Outcome::Open;
    // clang-format on
}

// The group dialog and the one-page dialog, driven by mouse or keyboard only; a failed save
// is told and keeps the dialog open.
void FormsTest::buttons()
{
    QFETCH(bool, group);
    QFETCH(bool, fails);
    QFETCH(QString, input);
    QFETCH(QStringList, journal);
    QFETCH(Outcome, outcome);
    QStringList seen;
    std::unique_ptr<QDialog> dialog;
    if (group)
        dialog = std::make_unique<JournalDialog>(&seen);
    else
        dialog = std::make_unique<FormDialog>(new JournalPage("user", &seen, fails));
    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    QSignalSpy rejected(dialog.get(), &QDialog::rejected);
    dialog->show();
    ModalAnswer warning(ModalAnswer::accept(), fails ? 10000 : 0);
    if (input.endsWith("Button")) {
        click(dialog.get(), qPrintable(input));
    } else {
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : dialog.get(),
                        input == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    }
    QCOMPARE(seen, journal);
    QCOMPARE(warning.answered(), fails);
    if (fails) {
        QCOMPARE(warning.title(), QString("Not saved"));
        QVERIFY2(warning.text().contains("disk full"), qPrintable(warning.text()));
    }
    const Outcome shown = accepted.count()      ? Outcome::Accepted
                          : rejected.count()    ? Outcome::Rejected
                          : dialog->isVisible() ? Outcome::Open
                                                : Outcome::Rejected;
    QCOMPARE(shown, outcome);
}

void FormsTest::proxyPageRoundTrip_data()
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
    QTest::newRow("unknown type") << QVariantMap{{"hasProxy", true}, {"proxyType", "Gopher"}}
                                  << "Default Proxy";
}

// Whatever was shown comes back unchanged, and an edit is stored as typed.
void FormsTest::proxyPageRoundTrip()
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
    QVERIFY(page.save());
    QSettings settings;
    settings.beginGroup("proxy");
    QCOMPARE(settings.value("hasProxy").toBool(), true);
    QCOMPARE(settings.value("proxyType").toString(), shownType);
    QCOMPARE(settings.value("password").toString(), stored.value("password").toString());
    page.findChild<QSpinBox *>("portSpinBox")->setValue(3128);
    QVERIFY(page.save());
    QCOMPARE(settings.value("port").toInt(), 3128);
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
    QVariantMap values{{"driver", "QMYSQL"}, {"host", "db.example"}, {"databasename", "study"}};
    if (stored.isValid())
        values.insert("port", stored);
    store("database", values);
    ServerSettingsWidget page;
    QVERIFY(page.load());
    auto *port = page.findChild<QSpinBox *>("portSpinBox");
    QCOMPARE(port->value(), shown);
    QCOMPARE(port->text(), shownText);
    QVERIFY(page.save());
    QSettings settings;
    QCOMPARE(settings.value("database/port").toInt(), shown);
    QCOMPARE(settings.value("database/host").toString(), QString("db.example"));
    QCOMPARE(settings.value("database/databasename").toString(), QString("study"));
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
void FormsTest::preferenceDialogPages()
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
    ModalAnswer box(ModalAnswer::accept(), 300);
    click(&dialog, "okButton");
    QTest::qWait(400);
    QVERIFY2(!box.answered(), qPrintable(box.text()));
    QCOMPARE(accepted.count(), 1);
}

QTEST_MAIN(FormsTest)
#include "tst_forms.moc"
