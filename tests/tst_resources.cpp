#include <QTest>
#include <QtGui>

// Every image name the program's sources use must be compiled in, in the spelling used
// and in the other one (":/16x16/x.png" and ":16x16/x.png").
class ResourcesTest : public QObject
{
    Q_OBJECT

private:
    static QSet<QString> namesUsedBySources()
    {
        static const QRegularExpression reference(
            QStringLiteral(R"(:/?((?:16x16/|32x32/|48x48/)?[A-Za-z0-9_.-]+\.png))"));
        QSet<QString> names;
        QDirIterator it(QStringLiteral(STAVIMOR_SOURCE_DIR "/src"),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            auto matches = reference.globalMatch(QString::fromUtf8(file.readAll()));
            while (matches.hasNext())
                names.insert(matches.next().captured(1));
        }
        return names;
    }

private slots:
    void everyUsedImageLoads_data()
    {
        QTest::addColumn<QString>("name");
        const QSet<QString> names = namesUsedBySources();
        // Guards the scan itself: a broken pattern would make the test pass vacuously.
        QVERIFY(names.contains(QStringLiteral("16x16/accept.png")));
        QVERIFY(names.contains(QStringLiteral("banner.png")));
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyUsedImageLoads()
    {
        QFETCH(QString, name);
        for (const QString &spelling : {":/" + name, ":" + name})
            QVERIFY2(!QImage(spelling).isNull(), qPrintable(spelling));
    }
};

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
