#include <QtTest>
#include <QtWidgets>

#include "editor/googleaddressfieldwidget.h"
#include "editor/googlemapmodel.h"
#include "loopbackhttpserver.h"
#include "messagecapture.h"
#include "testsettings.h"

static const QString path = "/maps/api/geocode/xml";

namespace {
struct Lookup
{
    QString text, address; // typed, and as sent
    QByteArray body;
    int status;
    QStringList addresses;
};
} // namespace
Q_DECLARE_METATYPE(Lookup)

// Address completion against a geocoding service played by a loopback HTTP server.
class GeocodingTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(server.listen()); }
    void init()
    {
        settings.clear();
        QSettings().setValue("geocoding/origin", server.url("").toString());
        server.clearRequests();
    }

    void answers_data()
    {
        QTest::addColumn<Lookup>("c");
        const QStringList rivoli{"1 Rue de Rivoli, Paris", "1 Rue de Rivoli, Lyon"};
        // clang-format off
        QTest::newRow("status and two results") << Lookup{"1 Rue de Rivoli", "1%20Rue%20de%20Rivoli",
                answer(rivoli), 200, QStringList{""} + rivoli};
        QTest::newRow("ampersand, hash and plus stay in the address, zero results")
                << Lookup{"Smith & Sons #3+4", "Smith%20%26%20Sons%20%233%2B4", answer({}), 200, {""}};
        QTest::newRow("accents, not XML") << Lookup{"Zürich", "Z%C3%BCrich", "{\"status\": \"OK\"}", 200, {}};
        QTest::newRow("server error") << Lookup{"x", "x", answer({"Ghost Road"}), 500, {}};
        // clang-format on
    }

    void answers()
    {
        QFETCH(Lookup, c);
        server.setResponse(path, c.body, c.status);
        MessageCapture capture;
        GoogleMapModel model;
        QSignalSpy layout(&model, &GoogleMapModel::layoutChanged);
        model.search(c.text);
        QVERIFY(layout.wait());
        QCOMPARE(server.requests(), QStringList{path + "?address=" + c.address + "&sensor=true"});
        QCOMPARE(rows(model), c.addresses);
        QVERIFY(capture.contains("parse"));
        for (const QString &address : c.addresses)
            QVERIFY(capture.contains(address));
    }

    // Each keystroke asks; no answer is dropped, a slow one comes after those that overtook it, and
    // the completer offers the collected addresses that match the text, whatever their case.
    void typingCompletes()
    {
        QStringList many;
        for (int i = 1; i <= 12; ++i)
            many << QString("ABC Road %1").arg(i);
        // The later the text, the sooner its answer.
        const QStringList texts{"a", "ab", "abc"};
        const QList<QStringList> addresses{
            {"Alder Way"}, {"Abbey Road"}, many + QStringList{"abc lane", "Xyz Street"}};
        QStringList targets;
        for (int i = 0; i < texts.size(); ++i) {
            targets << path + "?address=" + texts.at(i) + "&sensor=true";
            server.setResponse(targets.last(), {200, answer(addresses.at(i), false), 2,
                                                200 * (int(texts.size()) - 1 - i)});
        }
        GoogleAddressFieldWidget widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        auto *model = widget.findChild<GoogleMapModel *>();
        QSignalSpy layout(model, &GoogleMapModel::layoutChanged);
        QSignalSpy change(&widget, &AbstractFieldWidget::change);
        auto *edit = qobject_cast<QLineEdit *>(widget.editor);
        QTest::keyClicks(edit, "abc");
        QTRY_COMPARE_WITH_TIMEOUT(layout.size(), 3, 5000);
        QStringList sent = server.requests();
        sent.sort();
        QCOMPARE(sent, targets);
        QCOMPARE(rows(*model), addresses.at(2) + addresses.at(1) + addresses.at(0));
        QTRY_VERIFY(edit->completer()->popup()->isVisible());
        QCOMPARE(edit->completer()->completionCount(), 13);
        QCOMPARE(change.size(), 0);
    }

private:
    static QByteArray answer(const QStringList &addresses, bool withStatus = true)
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

    static QStringList rows(const GoogleMapModel &model)
    {
        QStringList result;
        for (int row = 0; row < model.rowCount(); ++row)
            result << model.data(model.index(row)).toString();
        return result;
    }

    TestSettings settings;
    LoopbackHttpServer server;
};

QTEST_MAIN(GeocodingTest)
#include "tst_geocoding.moc"
