#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "editor/googleaddressfieldwidget.h"
#include "editor/googlemapmodel.h"
#include "loopbackhttpserver.h"
#include "messagecapture.h"
#include "testsettings.h"

// Address completion against a geocoding service played by a loopback HTTP server.
class GeocodingTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void requestAddress_data();
    void requestAddress();
    void answers_data();
    void answers();
    void staleAnswerIsDropped();
    void typingCompletes();

private:
    static QByteArray answer(const QStringList &addresses, bool withStatus = true);
    static QStringList rows(const GoogleMapModel &model);

    TestSettings settings;
    LoopbackHttpServer server;
};

static const QString path = "/maps/api/geocode/xml";

void GeocodingTest::initTestCase()
{
    QVERIFY(server.listen());
}

void GeocodingTest::init()
{
    settings.clear();
    QSettings().setValue("geocoding/origin", server.url("").toString());
    server.clearRequests();
    server.setResponse(path, answer({}));
}

QByteArray GeocodingTest::answer(const QStringList &addresses, bool withStatus)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><GeocodeResponse>";
    if (withStatus)
        xml += "<status>OK</status>";
    for (const QString &address : addresses)
        xml += "<result><type>street_address</type><formatted_address>" + address.toUtf8() +
               "</formatted_address><geometry><location><lat>48.85</lat><lng>2.35</lng>"
               "</location></geometry></result>";
    return xml + "</GeocodeResponse>";
}

QStringList GeocodingTest::rows(const GoogleMapModel &model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.data(model.index(row)).toString();
    return result;
}

void GeocodingTest::requestAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::newRow("blanks") << "10 Downing Street"
                            << path + "?address=10%20Downing%20Street&sensor=true";
    QTest::newRow("ampersand, hash and plus stay in the address")
        << "Smith & Sons #3+4" << path + "?address=Smith%20%26%20Sons%20%233%2B4&sensor=true";
    QTest::newRow("accents") << "Zürich" << path + "?address=Z%C3%BCrich&sensor=true";
}

void GeocodingTest::requestAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, target);
    GoogleMapModel model;
    QSignalSpy layout(&model, &GoogleMapModel::layoutChanged);
    model.search(text);
    QVERIFY(layout.wait());
    QCOMPARE(server.requests(), QStringList{target});
}

void GeocodingTest::answers_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status"); // 0: connection refused
    QTest::addColumn<QStringList>("addresses");
    const QStringList rivoli{"1 Rue de Rivoli, Paris", "1 Rue de Rivoli, Lyon"};
    // clang-format off
    QTest::newRow("status and two results") << answer(rivoli) << 200 << QStringList{""} + rivoli;
    QTest::newRow("results only") << answer({"Main Street"}, false) << 200
            << QStringList{"Main Street"};
    QTest::newRow("zero results") << answer({}) << 200 << QStringList{""};
    QTest::newRow("not XML") << QByteArray("{\"status\": \"OK\"}") << 200 << QStringList();
    QTest::newRow("server error") << answer({"Ghost Road"}) << 500 << QStringList();
    QTest::newRow("connection refused") << QByteArray() << 0 << QStringList();
    // clang-format on
}

void GeocodingTest::answers()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QStringList, addresses);
    server.setResponse(path, body, status);
    if (!status)
        QSettings().setValue("geocoding/origin", LoopbackHttpServer::refusedUrl("").toString());
    MessageCapture capture;
    GoogleMapModel model;
    QSignalSpy layout(&model, &GoogleMapModel::layoutChanged);
    model.search("rivoli");
    QVERIFY(layout.wait());
    QCOMPARE(rows(model), addresses);
    QVERIFY(capture.contains("parse"));
    for (const QString &address : addresses) {
        if (!address.isEmpty())
            QVERIFY(capture.contains(address));
    }
    QVERIFY(!model.data(model.index(0), Qt::EditRole).isValid());
}

void GeocodingTest::staleAnswerIsDropped()
{
    LoopbackHttpServer::Response slow;
    slow.body = answer({"Stale Street"}, false);
    slow.pieces = 3;
    slow.pauseMs = 300;
    server.setResponse(path + "?address=st&sensor=true", slow);
    server.setResponse(path + "?address=sta&sensor=true", answer({"Station Road"}, false));
    server.setResponse(path + "?address=ab&sensor=true", answer({"Abbey Road"}, false));
    GoogleMapModel model;
    QSignalSpy layout(&model, &GoogleMapModel::layoutChanged);
    model.search("st");
    QTRY_COMPARE(server.requests().size(), 1);
    model.search("sta");
    QVERIFY(layout.wait());
    QTest::qWait(900);
    QCOMPARE(layout.size(), 1);
    QCOMPARE(rows(model), QStringList{"Station Road"});
    QCOMPARE(server.cutOffAnswers(), 1);
    // A new answer replaces the rows shown.
    model.search("ab");
    QVERIFY(layout.wait());
    QCOMPARE(rows(model), QStringList{"Abbey Road"});
}

void GeocodingTest::typingCompletes()
{
    QStringList many;
    for (int i = 1; i <= 12; ++i)
        many << QString("ABC Road %1").arg(i);
    server.setResponse(path + "?address=abc&sensor=true",
                       answer(many + QStringList{"abc lane", "Xyz Street"}, false));
    GoogleAddressFieldWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    auto *edit = qobject_cast<QLineEdit *>(widget.editor);
    QSignalSpy change(&widget, &AbstractFieldWidget::change);
    QTest::keyClicks(edit, "abc");
    QCompleter *completer = edit->completer();
    QVERIFY(completer);
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(server.requests().value(server.requests().size() - 1),
             path + "?address=abc&sensor=true");
    QCOMPARE(completer->model()->rowCount(), 14);
    // Case-insensitive against the collected addresses.
    QCOMPARE(completer->completionCount(), 13);
    QCOMPARE(change.size(), 0);
    QVERIFY(!widget.isChanged);
}

QTEST_MAIN(GeocodingTest)
#include "tst_geocoding.moc"
